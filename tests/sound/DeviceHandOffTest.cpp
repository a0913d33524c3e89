// Hand-offs between the engine's device threads and the application's: each
// test stops one party at the step between its check and its act (a named
// pause point) while the other acts. A CD drive's disc check and open beside
// a close or a second open, the CD player's timer beside a stop, and the
// record thread's copy beside a free of the sample it writes into.
#include "CdDriveFakeSupport.h"
#include "SoundTestSupport.h"
#include "WaitSupport.h"
#include "WinMMRecordingSupport.h"
#include "platform/win32/WinMessages.h"
#include "sound/src/format/format_tag.h"
#include "sound/src/source/source_cdda.h"
#include "sound/src/source/source_cdplayer.h"
#include "sound/src/stream/osnd_stream.h"
#include "sound/src/system/system_pause.h"
#include "sound/src/system/system_time.h"

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace device_hand_off_test {

namespace {

std::string CdError(OSND_STREAM *s) {
  const void *value = nullptr;
  int length = 0;
  if (!OsndTag_Find(s->tags, "CD_ERROR", OSND_TAG_CD, &value, &length) || !value || length < 1) return "<none>";
  return std::string(static_cast<const char *>(value), size_t(length - 1));
}

// Makes `act` on another thread while a party stands at `point`, then lets
// that party go; true when the act began to wait (reached the engine's point
// `waiting`) rather than ending beside the party.
bool WaitsForTheParty(SystemPausePoint &point, const char *waiting, const std::function<void()> &act) {
  return ActWaits(waiting, act, [&] { point.Release(); });
}

class CdHandOff : public CdDriveTest {
 protected:
  CdHandOff() : CdDriveTest("cdhandoff") {}
};

// The disc check has found the drive open and is about to ask it; the
// stream's close waits for it and the drive is not opened again behind the close.
TEST_F(CdHandOff, ACloseWaitsForTheDiscCheckThatFoundTheDriveOpen) {
  FakeCdDrive drive(Folder(), {{true, 120}, {true, 90}});
  OSND_STREAM *s = OSND_Stream_Open("D:", 0, 0, 0);
  ASSERT_NE(s, nullptr);
  static_cast<CddaDevice *>(s->formatState)->lastMediaCheck = SystemTime_GetMilliseconds() - 2000;
  SystemPausePoint checked("cd.drive.checked");
  std::thread update([] { OSND_Update(); });
  ASSERT_TRUE(checked.WaitReached());
  const int opens = drive.opens;
  EXPECT_TRUE(WaitsForTheParty(checked, "cd.commands.waiting", [&] { EXPECT_TRUE(OSND_Stream_Close(s)); }))
      << "the close went on beside the disc check";
  update.join();
  EXPECT_EQ(drive.opens, opens) << "the disc check opened the drive again behind its close";
}

// A background open has claimed the drive; an open of it on this thread is
// told the drive is taken rather than sharing it.
TEST_F(CdHandOff, OfTwoOpensOfOneDriveOneHasIt) {
  FakeCdDrive drive(Folder(), {{true, 120}, {true, 90}});
  SystemPausePoint claimed("cd.drive.claimed");
  OSND_STREAM *first = OSND_Stream_Open("D:", OSND_MODE_NONBLOCKING, 0, 0);
  ASSERT_NE(first, nullptr);
  ASSERT_TRUE(claimed.WaitReached());
  OSND_STREAM *second = OSND_Stream_Open("D:", 0, 0, 0);
  ASSERT_NE(second, nullptr);
  claimed.Release();
  ASSERT_TRUE(PollUntil([&] { return OsndStream_IsReady(first) || OsndStream_OpenFailed(first); }));
  EXPECT_EQ(CdError(first), "<none>");
  EXPECT_EQ(CdError(second), "ERROR: D: already open");
  EXPECT_TRUE(OSND_Stream_Close(second));
  EXPECT_TRUE(OSND_Stream_Close(first));
}

// The track's timer is about to post that the track ended when the drive is
// stopped: the stop waits for it, and its message, answered later, finds a
// timer killed since and leaves the stopped drive alone.
TEST_F(CdHandOff, AStopBesideTheTimersMessageLeavesTheDriveStopped) {
  FakeCdDrive drive(Folder(), {{true, 75}, {true, 75}});
  SystemPausePoint posting("cd.timer.posting");
  ASSERT_TRUE(OsndCd_Play('D', 1)) << OSND_GetError();
  const McdDrive *d = OsndCd_GetDrive('D');
  ASSERT_TRUE(posting.WaitReached());
  // The kill's wait is a join below the engine, which names no point for it.
  EXPECT_TRUE(ActBlocks([] { EXPECT_TRUE(OsndCd_Stop('D')); }, [&] { posting.Release(); }))
      << "the stop went on beside the timer's call";
  MSG msg;  // the timer's message is in this thread's queue: answered as the window's thread does
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  EXPECT_EQ(d->timer, 0u);
  EXPECT_EQ(d->currentTrack, 0);
}

class CaptureHandOff : public WinMMRecording {
 protected:
  void TearDown() override {
    copying.Release();
    WinMMRecording::TearDown();
  }
  // Records into a new sample, `sample`, until the record thread stops at
  // its copy, holding the sample's memory. The output's own play is no part
  // of these hand-offs and is stopped first: its device reads the buffer the
  // mixer writes, kept apart from the block being written only by the
  // mixer's pace, which a starved mixer loses (a race ThreadSanitizer reports
  // beside busy cores, whatever the recording does).
  void RecordUntilTheCopy() {
    ASSERT_TRUE(OSND_StopSound(OSND_PRIMARY));
    sample = RecordSample(3000);
    ASSERT_NE(sample, nullptr);
    ASSERT_TRUE(OSND_Record_StartSample(0, sample, true)) << OSND_GetError();
    ASSERT_TRUE(copying.WaitReached(kActDeadlineMs));
  }
  SystemPausePoint copying{"record.copy.taken"};
  OSND_SAMPLE *sample = nullptr;
};

// The record thread holds the sample's memory for its copy when another
// thread frees the sample, with no stop: the free waits for the copy and
// ends the recording before the memory goes.
TEST_F(CaptureHandOff, AFreeOfTheSampleBeingRecordedIntoWaitsForTheCopyAndStopsIt) {
  ASSERT_NO_FATAL_FAILURE(RecordUntilTheCopy());
  EXPECT_TRUE(WaitsForTheParty(copying, "thread.joining", [&] { OSND_Sample_Free(sample); }))
      << "the free went on beside the record thread's copy";
  EXPECT_FALSE(gOsnd.recording.load());
}

// Another thread's stop holds the record lock and is about to join the record
// thread, which holds the sample's memory for its copy, when the sample is
// freed: the stop forgets the sample only once the thread has ended, so the
// free finds the recording its own and waits for that lock, and the memory
// goes after the copy.
TEST_F(CaptureHandOff, AFreeBesideAnotherThreadsStopWaitsForTheCopy) {
  ASSERT_NO_FATAL_FAILURE(RecordUntilTheCopy());
  SystemPausePoint joining("thread.joining", OnSecondParty);
  std::thread stopping = SecondParty([] { EXPECT_TRUE(OSND_Record_Stop()); });
  EXPECT_TRUE(joining.WaitReached(kActDeadlineMs)) << "the stop did not come to join the record thread";
  // The free either waits for the record lock or ends (a hang fails in
  // ActWaits); which one is told before the copy goes on into what an ended
  // free has left.
  std::atomic<bool> freed{false};
  static_cast<void>(ActWaits(
      "record.lock.waiting",
      [&] {
        OSND_Sample_Free(sample);
        freed = true;
      },
      [&] {
        EXPECT_FALSE(freed.load()) << "the free went on beside the record thread's copy, which the stop had not "
                                      "yet joined";
        joining.Release();
        copying.Release();
      }));
  stopping.join();
  EXPECT_FALSE(gOsnd.recording.load());
}

}  // namespace

}  // namespace device_hand_off_test
