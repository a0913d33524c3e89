// The CD player on a drive that lives in the test (CdDriveFakeSupport), whose
// audio plays on a clock the test moves: playback goes on from track to
// track as each ends, pauses and resumes where it was, and stops after the
// last track. The timer's messages are answered by pumping this thread's
// queue, as the program's window thread does.
#include "CdDriveFakeSupport.h"
#include "platform/win32/WinMessages.h"
#include "sound/src/source/source_cdplayer.h"

#include <chrono>
#include <functional>
#include <thread>

namespace cd_player_test {

namespace {

// Answers this thread's messages until `done` holds (false after `ms`; the
// default only catches a hang).
bool PumpUntil(const std::function<bool()> &done, int ms = 60000) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < until) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

class CdPlayer : public CdDriveTest {
 protected:
  CdPlayer() : CdDriveTest("cdplayer") {}
};

TEST_F(CdPlayer, PlaysTrackAfterTrackPausesResumesAndStopsAfterTheLast) {
  // Three tracks of one second each.
  FakeCdDrive drive(Folder(), {{true, 75}, {true, 75}, {true, 75}});
  ASSERT_TRUE(OsndCd_Play('d', 1)) << OSND_GetError();
  const McdDrive *d = OsndCd_GetDrive(0);
  ASSERT_NE(d, nullptr);
  ASSERT_EQ(d, OsndCd_GetDrive('D'));
  EXPECT_TRUE(drive.playing);
  EXPECT_EQ(drive.PlayPosition(), 0);
  EXPECT_EQ(d->trackCount, 3);
  EXPECT_EQ(d->trackMs[1], 1000);
  EXPECT_EQ(d->currentTrack, 1);
  EXPECT_EQ(d->targetMs, 500);  // the track's end, less half a second
  EXPECT_NE(d->timer, 0u);
  EXPECT_NE(OsndCd_GetWindow(), nullptr);

  // Nothing moves on before the drive has reached the next track.
  drive.Advance(1000);
  ASSERT_TRUE(PumpUntil([&] { return d->currentTrack == 2; }));
  EXPECT_NE(d->timer, 0u);

  // Paused: the drive holds its place and no timer runs, however long.
  drive.Advance(300);
  ASSERT_TRUE(OsndCd_SetPaused('D', true));
  EXPECT_TRUE(drive.paused);
  EXPECT_TRUE(d->paused);
  EXPECT_EQ(d->timer, 0u);
  const int held = drive.PlayPosition();
  drive.Advance(5000);
  EXPECT_EQ(drive.PlayPosition(), held);
  EXPECT_FALSE(PumpUntil([&] { return d->currentTrack != 2; }, 800));

  // Resumed where it was: the rest of the second track, then the third.
  ASSERT_TRUE(OsndCd_SetPaused('D', false));
  EXPECT_TRUE(drive.playing);
  EXPECT_FALSE(d->paused);
  EXPECT_EQ(drive.PlayPosition(), held);
  drive.Advance(800);
  ASSERT_TRUE(PumpUntil([&] { return d->currentTrack == 3; }));

  // After the last track the drive is stopped and no track is current.
  drive.Advance(1000);
  ASSERT_TRUE(PumpUntil([&] { return d->currentTrack == 0; }));
  EXPECT_FALSE(drive.playing);
  EXPECT_EQ(d->timer, 0u);

  // Played again from a point inside a track.
  ASSERT_TRUE(OsndCd_PlayFrom(0, 2, 500));
  EXPECT_EQ(drive.PlayPosition(), 75 + 37);  // 500 ms is 37 frames of the MSF address
  ASSERT_TRUE(OsndCd_Stop('D'));
  EXPECT_FALSE(drive.playing);
  EXPECT_EQ(d->currentTrack, 0);

  // A disc taken out while it plays: at the track's end the player gives up
  // on the next track instead of waiting for it for ever.
  ASSERT_TRUE(OsndCd_Play('D', 1));
  drive.discPresent = false;
  ASSERT_TRUE(PumpUntil([&] { return d->timer == 0; }));
  EXPECT_FALSE(OsndCd_Stop('D'));  // the drive answers that it is not ready
}

TEST_F(CdPlayer, ADataDiscBadLettersAndAChangedDisc) {
  FakeCdDrive drive(Folder(), {{false, 150}});
  EXPECT_FALSE(OsndCd_Play('D', 1));  // one data track: nothing to play
  EXPECT_FALSE(drive.playing);
  EXPECT_FALSE(OsndCd_Play('#', 1));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_INVALID_PARAM);
  EXPECT_FALSE(OsndCd_Play('E', 1));  // no drive behind E:
  EXPECT_EQ(OSND_GetError(), OSND_ERR_CD_DEVICE);

  // A disc arriving in D: has the drive closed and opened again.
  const int opens = drive.opens;
  struct {
    DWORD size, deviceType, reserved, unitMask;
    WORD flags;
  } change = {sizeof change, 2, 0, 1u << 3, 0};
  SendMessageA(static_cast<HWND>(OsndCd_GetWindow()), 0x0219, 0x8000, reinterpret_cast<LPARAM>(&change));
  EXPECT_EQ(drive.opens, opens + 1);
  ASSERT_NE(OsndCd_GetDrive('D'), nullptr);
  EXPECT_EQ(OsndCd_GetDrive('D')->trackCount, 1);

  OSND_Close();
  EXPECT_FALSE(OsndCd_Play('D', 1));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_UNINITIALISED);
  ASSERT_TRUE(OSND_Init(44100, 8, 0));
}

}  // namespace

}  // namespace cd_player_test
