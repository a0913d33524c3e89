// The CD player: the drive plays audio tracks by itself through MCI's CD
// audio device, and a one-shot timer per drive, answered on the thread that
// owns the player's notification window, moves playback on to the next
// track at each track's end and stops it after the last.
#pragma once

#include "sound/src/core/osnd_records.h"

#include <cstdint>

struct McdDrive {
  int letter;  // 0 = A
  int id;      // MCI device, -1 closed
  bool paused;
  int currentTrack;  // 1-based, 0 stopped
  int trackCount;
  int totalLengthMs;
  int trackMs[99];
  unsigned timer;
  int targetMs, elapsedMs, intervalMs;
};

void OsndCdda_InitDeviceTable();
// Letters are drive letters ('D' or 'd'); 0 is the default drive.
bool OsndCd_Play(int letter, int track);
bool OsndCd_PlayFrom(int letter, int track, int ms);
bool OsndCd_Stop(int letter);
bool OsndCd_SetPaused(int letter, bool pause);
void OsndCdda_DestroyWindow();
// The record of a drive letter (0: the default drive), null when it is not open.
const McdDrive *OsndCd_GetDrive(int letter);
// The notification window, null until a drive was first used.
void *OsndCd_GetWindow();
