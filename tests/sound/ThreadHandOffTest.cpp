// Hand-offs to the engine's service threads (the socket thread, an internet
// stream's open, the file thread), each stopped at the step between one
// party's check and its act while the other party tries to free the record.
#include "HttpTestServerSupport.h"
#include "WaitSupport.h"
#include "sound/include/osnd.h"
#include "sound/src/source/source_net.h"
#include "sound/src/system/system_file.h"
#include "sound/src/system/system_net.h"
#include "sound/src/system/system_pause.h"
#include "sound/src/system/system_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace thread_hand_off_test {

namespace {

// A server whose answer stops after a few body bytes and keeps the line.
HttpReply Stalled() {
  HttpReply r;
  r.head = OkHead({});
  r.body = std::string(200, 'x');
  r.holdOpen = true;
  return r;
}

}  // namespace

// An abort that found the opening stream's net record holds the open lock
// until it has marked the record's socket: the open, which saw the abort's
// mark and gives up, withdraws its record only after that, then frees it.
TEST(ThreadHandOff, AnAbortMarksTheOpensSocketBeforeTheOpenMayFreeIt) {
  OSND_SetOutput(OSND_OUTPUT_NOSOUND_NONREALTIME);
  ASSERT_TRUE(OSND_Init(44100, 8, 0));
  {
    HttpTestServer server([](const std::string &) { return Stalled(); });
    OSND_STREAM *s = OSND_Stream_Open(server.Url("/").c_str(), OSND_MODE_NONBLOCKING, 0, 0);
    ASSERT_NE(s, nullptr);
    ASSERT_TRUE(PollUntil(
        [&] {
          auto *record = static_cast<OsndNetStream *>(std::atomic_ref<void *>(s->netRecord).load());
          return record && record->status == OSND_NET_BUFFERING;
        },
        kActDeadlineMs))
        << "the open never began buffering";
    SystemPausePoint found("net.abort.found"), waiting("net.open-lock.waiting"), withdrawn("net.open.withdrawn");
    std::thread closer([&] { EXPECT_TRUE(OSND_Stream_Close(s)); });
    ASSERT_TRUE(found.WaitReached());
    // The open, which gives up at the abort's mark, either waits for the lock
    // the abort holds or withdraws its record beside it.
    EXPECT_TRUE(PollUntil([&] { return waiting.Reached() || withdrawn.Reached(); }, kActDeadlineMs));
    EXPECT_FALSE(withdrawn.Reached()) << "the open withdrew the record the abort is about to mark";
    waiting.Release();
    withdrawn.Release();
    found.Release();
    closer.join();
  }
  OSND_Close();
  OSND_SetOutput(OSND_OUTPUT_NOSOUND);
}

// A socket's close that found the socket thread running asks it to free the
// socket; the thread's stop, which frees what the slots hold, waits for it.
TEST(ThreadHandOff, TheSocketThreadsStopWaitsForACloseThatFoundItRunning) {
  HttpTestServer server([](const std::string &) { return Stalled(); });
  ASSERT_TRUE(SystemNet_Start() && SystemNet_StartThread());
  const winsock::SOCKET fd = SystemNet_CreateSocket(0);
  ASSERT_EQ(SystemNet_Connect(fd, "127.0.0.1", server.Port()), 0);
  SystemNetSocket *socket = SystemNetSocket_Create(fd);
  ASSERT_NE(socket, nullptr);
  SystemPausePoint checked("net.socket.close-checked");
  std::thread closer([&] { SystemNetSocket_RequestClose(socket); });
  ASSERT_TRUE(checked.WaitReached());
  EXPECT_TRUE(ActWaits("net.start-lock.waiting", SystemNet_StopThread, [&] { checked.Release(); }))
      << "the socket thread stopped between the close's check and its ask";
  closer.join();
  SystemNet_Stop();
}

// A handle's close waits for the request the file thread has taken and not
// yet served: the count of pending requests falls only once it is served.
TEST(ThreadHandOff, AFileCloseWaitsForTheRequestTheFileThreadServes) {
  const std::string path = std::string(QMV_BINARY_DIR) + "/sound-thread-hand-off.bin";
  std::vector<uint8_t> data(5000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 7);
  FILE *f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(data.data(), 1, data.size(), f);
  std::fclose(f);
  const bool nonRealtime = SystemThread_NonRealtime();
  SystemThread_SetNonRealtime(false);
  SystemFileHandle *h = SystemFile_Open(path.c_str(), SYSTEMFILE_BUFFERED, 0);
  ASSERT_NE(h, nullptr);
  ASSERT_TRUE(SystemFile_SetSynchronous(h, false));
  std::vector<uint8_t> got(data.size());
  {
    SystemPausePoint taken("file.request.taken");
    EXPECT_EQ(SystemFile_Read(got.data(), 1, int(got.size()), h), int(got.size()));
    ASSERT_TRUE(taken.WaitReached());
    EXPECT_TRUE(ActWaits("file.close.waiting", [&] { SystemFile_Close(h); }, [&] { taken.Release(); }))
        << "the close freed the handle of a request being served";
  }
  EXPECT_EQ(got, data);
  SystemFile_StopThread();
  SystemThread_SetNonRealtime(nonRealtime);
  std::remove(path.c_str());
}

}  // namespace thread_hand_off_test
