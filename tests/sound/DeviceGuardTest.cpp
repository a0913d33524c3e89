// Guards of the file thread, the CD drives and the CD player, each met at
// the step a regression would open: a wait for a handle's requests beside
// one published and not yet counted, a second open between the first's look at
// the drive's open mark and its claim, and a timer's message answered after
// a newer timer was armed.
#include "CdDriveFakeSupport.h"
#include "WaitSupport.h"
#include "platform/win32/WinMessages.h"
#include "sound/src/stream/osnd_stream.h"
#include "sound/src/source/source_cdplayer.h"
#include "sound/src/system/system_file.h"
#include "sound/src/system/system_pause.h"

#include <thread>
#include <vector>

namespace device_guard_test {

namespace {

// A read queued for the file thread is pending from the moment the thread
// may find it in the ring: a wait for the handle's requests (a close's wait)
// made while the reader stands between the request's publication and the
// file thread's wake waits for that read, and finds its bytes once it returns.
TEST(FileThreadGuard, AWaitBesideAReadCountsItsRequestFromItsPublication) {
  std::vector<uint8_t> data(3000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 13 + 5);
  const bool nonRealtime = SystemThread_NonRealtime();
  SystemThread_SetNonRealtime(false);
  SystemFileHandle *h = SystemFile_Open(data.data(), SYSTEMFILE_MEMORY, int(data.size()));
  ASSERT_NE(h, nullptr);
  ASSERT_TRUE(SystemFile_SetSynchronous(h, false));
  std::vector<uint8_t> got(data.size());
  bool readWhenWaited = false;
  {
    SystemPausePoint written("file.request.written", OnSecondParty);
    // A file thread still in its loop may find the request before its wake:
    // it holds it there, unserved.
    SystemPausePoint taken("file.request.taken");
    std::thread reader = SecondParty([&] { EXPECT_EQ(SystemFile_Read(got.data(), 1, int(got.size()), h), 3000); });
    const auto release = [&] {
      written.Release();
      taken.Release();
    };
    const bool reached = written.WaitReached(kActDeadlineMs);
    EXPECT_TRUE(reached) << "the read never published its request";
    if (reached) {
      EXPECT_TRUE(ActWaits("file.close.waiting",
                           [&] {
                             SystemFile_WaitPending(h);
                             readWhenWaited = got == data;
                           },
                           release))
          << "the wait found no request pending beside a published read";
    }
    release();
    reader.join();
  }
  EXPECT_TRUE(readWhenWaited) << "the wait returned before the read was served";
  SystemFile_Close(h);
  SystemFile_StopThread();
  SystemThread_SetNonRealtime(nonRealtime);
}

class DeviceGuard : public CdDriveTest {
 protected:
  DeviceGuard() : CdDriveTest("deviceguard") {}
};

// A background open has found the drive free and not yet marked it its own:
// an open of it on this thread waits for that claim, then is told the drive
// is taken, rather than finding it free too.
TEST_F(DeviceGuard, AnOpenBesideAnothersLookAtTheDriveWaitsAndIsToldItIsTaken) {
  FakeCdDrive drive(Folder(), {{true, 120}, {true, 90}});
  SystemPausePoint claiming("cd.drive.claiming");
  OSND_STREAM *first = OSND_Stream_Open("D:", OSND_MODE_NONBLOCKING, 0, 0);
  ASSERT_NE(first, nullptr);
  ASSERT_TRUE(claiming.WaitReached(kActDeadlineMs));
  OSND_STREAM *second = nullptr;
  EXPECT_TRUE(ActWaits("cd.commands.waiting", [&] { second = OSND_Stream_Open("D:", 0, 0, 0); },
                       [&] { claiming.Release(); }))
      << "the second open went on between the first's look and its claim";
  ASSERT_NE(second, nullptr);
  ASSERT_TRUE(PollUntil([&] { return OsndStream_IsReady(first); }, kActDeadlineMs)) << "the first open did not end well";
  // The drive is the first stream's alone.
  EXPECT_NE(first->formatState, nullptr);
  EXPECT_EQ(second->formatState, nullptr);
  EXPECT_TRUE(OSND_Stream_Close(second));
  EXPECT_TRUE(OSND_Stream_Close(first));
}

// The first track's timer has posted that the track ended when the drive
// is sent to the second track, under a timer of its own: the old message,
// answered after that, names a timer that is no longer the drive's and
// moves nothing.
TEST_F(DeviceGuard, AnOldTimersMessageAnsweredBesideANewerTimerMovesNothing) {
  FakeCdDrive drive(Folder(), {{true, 75}, {true, 150}});
  const McdDrive *d = nullptr;
  {
    SystemPausePoint posting("cd.timer.posting");
    ASSERT_TRUE(OsndCd_Play('D', 1)) << OSND_GetError();
    d = OsndCd_GetDrive('D');
    ASSERT_TRUE(posting.WaitReached(kActDeadlineMs));
  }  // the first timer posts its message now
  {
    // The newer timer, should it fire before the check, posts nothing.
    SystemPausePoint later("cd.timer.posting");
    // The play kills the first timer, which waits for its post, and arms its own.
    ASSERT_TRUE(OsndCd_Play('D', 2)) << OSND_GetError();
    const unsigned newer = d->timer;
    ASSERT_NE(newer, 0u);
    int stale = 0;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      stale += msg.message == WM_USER && msg.wParam != newer;
      DispatchMessageA(&msg);
    }
    ASSERT_EQ(stale, 1) << "the first timer's message was not in the queue";
    EXPECT_EQ(d->currentTrack, 2) << "the old message moved the drive on";
    EXPECT_EQ(d->timer, newer) << "the old message took the newer timer's place";
  }
  EXPECT_TRUE(OsndCd_Stop('D'));
}

}  // namespace

}  // namespace device_guard_test
