// Hand-offs to the engine's service threads (the socket thread, an internet
// stream's open, the file thread), each stopped at the step between one
// party's check and its act while the other party tries to free the record.
#include "HttpTestServerSupport.h"
#include "sound/include/osnd.h"
#include "sound/src/source/source_net.h"
#include "sound/src/system/system_file.h"
#include "sound/src/system/system_net.h"
#include "sound/src/system/system_pause.h"
#include "sound/src/system/system_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

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
    for (auto start = std::chrono::steady_clock::now(); std::chrono::steady_clock::now() - start < 5s;) {
      auto *record = static_cast<OsndNetStream *>(std::atomic_ref<void *>(s->netRecord).load());
      if (record && record->status == OSND_NET_BUFFERING) break;
      std::this_thread::sleep_for(5ms);
    }
    SystemPausePoint found("net.abort.found"), withdrawn("net.open.withdrawn");
    std::thread closer([&] { EXPECT_TRUE(OSND_Stream_Close(s)); });
    ASSERT_TRUE(found.WaitReached());
    EXPECT_FALSE(withdrawn.WaitReached(300)) << "the open withdrew the record the abort is about to mark";
    withdrawn.Release();
    std::this_thread::sleep_for(100ms);  // an open that withdrew its record frees it now
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
  std::atomic<bool> stopped{false};
  std::thread stopper([&] {
    SystemNet_StopThread();
    stopped = true;
  });
  std::this_thread::sleep_for(300ms);
  EXPECT_FALSE(stopped) << "the socket was freed between the close's check and its ask";
  checked.Release();
  closer.join();
  stopper.join();
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
    std::atomic<bool> closed{false};
    std::thread closer([&] {
      SystemFile_Close(h);
      closed = true;
    });
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(closed) << "the close freed the handle of a request being served";
    taken.Release();
    closer.join();
  }
  EXPECT_EQ(got, data);
  SystemFile_StopThread();
  SystemThread_SetNonRealtime(nonRealtime);
  std::remove(path.c_str());
}
