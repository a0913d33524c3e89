// A CD drive that lives in the test process, beneath the device calls of the
// CD drive stand-in (open, the SCSI generic ioctl, close): it answers the SCSI
// commands a drive answers from a BIN/CUE image written at test time, and
// plays audio on a clock the test moves.
#pragma once

#include "SoundTestSupport.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct FakeCdTrack {
  bool audio;
  int sectors;
};

class FakeCdDrive {
 public:
  // Writes `<dir>/image.bin` (noise that never repeats) and `<dir>/image.cue`
  // and answers as the drive D: (/dev/sr0) until destroyed.
  FakeCdDrive(const std::string &dir, const std::vector<FakeCdTrack> &tracks, uint32_t seed = 1);
  ~FakeCdDrive();

  std::string cuePath, binPath;
  std::vector<uint8_t> image;
  // Track starts as the CUE gives them, read back from the CUE file.
  std::vector<int> starts;
  std::vector<bool> audio;
  int leadOut = 0;

  // What the drive does.
  bool discPresent = true;
  bool fullToc = true;  // false: READ TOC format 2 is an illegal request
  // Bytes a multi-sector read lands away from where it was asked (its index
  // among such reads); 0 when unset.
  std::function<int(int read)> shift;
  struct Read {
    int lba, count, shift;
  };
  std::vector<Read> reads;  // multi-sector reads, in order
  int prevented = -1;       // last PREVENT/ALLOW MEDIUM REMOVAL
  int speedKb = -1;         // last SET CD SPEED
  int opens = 0;            // device opens

  // The audio player: a clock in milliseconds the test moves.
  int64_t clockMs = 0;
  void Advance(int64_t ms);
  int PlayPosition() const;  // the sector under the laser
  bool playing = false, paused = false;

  // The device calls (for the stand-in's table).
  static int Open(const char *path, int flags);
  static int Ioctl(int fd, unsigned long request, void *argument);
  static int Close(int fd);

 private:
  int Command(const uint8_t *cdb, uint8_t *data, uint32_t size, uint8_t *sense, int *senseLength, int *residue);
  int ReadToc(const uint8_t *cdb, uint8_t *data, uint32_t size, int *residue);
  int playFrom = 0, playEnd = 0;
  int64_t playStartedAt = 0;
  int pausedAt = 0;
  int readCount = 0;
  bool completed = false;
};

// An engine on the non-realtime output for the CD tests, with a folder of
// test files of its own.
class CdDriveTest : public NonRealtimeEngine {
 protected:
  explicit CdDriveTest(const char *suite) : suite(suite) {}
  void TearDown() override;
  std::string Folder() const { return TestFile(suite, ""); }
  const char *suite;
};
