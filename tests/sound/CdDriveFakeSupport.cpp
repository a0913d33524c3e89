#include "CdDriveFakeSupport.h"

#include "platform/cdrom/CdDrive.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <scsi/scsi.h>
#include <scsi/sg.h>
#include <sstream>

namespace {

constexpr int kFd = 0x4D00;
constexpr int kSector = 2352;
FakeCdDrive *gFake = nullptr;

void PutBe32(uint8_t *p, uint32_t v) {
  p[0] = uint8_t(v >> 24);
  p[1] = uint8_t(v >> 16);
  p[2] = uint8_t(v >> 8);
  p[3] = uint8_t(v);
}

void PutMsf(uint8_t *p, int address) {
  p[0] = uint8_t(address / 4500);
  p[1] = uint8_t(address % 4500 / 75);
  p[2] = uint8_t(address % 75);
}

int Msf(const uint8_t *p) { return (p[0] * 60 + p[1]) * 75 + p[2]; }

int Check(uint8_t *sense, int *senseLength, int key, int asc, int ascq) {
  std::memset(sense, 0, 18);
  sense[0] = 0x70;
  sense[2] = uint8_t(key);
  sense[7] = 10;
  sense[12] = uint8_t(asc);
  sense[13] = uint8_t(ascq);
  *senseLength = 18;
  return 2;  // CHECK CONDITION
}

}  // namespace

FakeCdDrive::FakeCdDrive(const std::string &dir, const std::vector<FakeCdTrack> &tracks, uint32_t seed) {
  binPath = dir + "/image.bin";
  cuePath = dir + "/image.cue";
  int total = 0;
  for (const FakeCdTrack &t : tracks) total += t.sectors;
  image.resize(size_t(total) * kSector);
  uint32_t state = seed;
  for (uint8_t &b : image) {
    state = state * 1664525u + 1013904223u;
    b = uint8_t(state >> 24);
  }
  std::ofstream(binPath, std::ios::binary).write(reinterpret_cast<const char *>(image.data()), std::streamsize(image.size()));
  std::ofstream cue(cuePath);
  cue << "FILE \"image.bin\" BINARY\n";
  int at = 0;
  for (size_t i = 0; i < tracks.size(); ++i) {
    char line[96];
    std::snprintf(line, sizeof line, "  TRACK %02zu %s\n    INDEX 01 %02d:%02d:%02d\n", i + 1,
                  tracks[i].audio ? "AUDIO" : "MODE1/2352", at / 4500, at % 4500 / 75, at % 75);
    cue << line;
    at += tracks[i].sectors;
  }
  cue.close();

  // The drive knows the disc from its CUE sheet.
  std::ifstream in(cuePath);
  std::string word;
  bool nextAudio = true;
  while (in >> word) {
    if (word == "TRACK") {
      std::string number, kind;
      in >> number >> kind;
      nextAudio = kind == "AUDIO";
    } else if (word == "INDEX") {
      std::string index, msf;
      in >> index >> msf;
      int m = 0, s = 0, f = 0;
      if (index == "01" && std::sscanf(msf.c_str(), "%d:%d:%d", &m, &s, &f) == 3) {
        starts.push_back((m * 60 + s) * 75 + f);
        audio.push_back(nextAudio);
      }
    }
  }
  leadOut = int(image.size() / kSector);
  gFake = this;
  static const cdrom::Backend backend = {Open, Ioctl, Close};
  cdrom::SetBackend(&backend);
}

FakeCdDrive::~FakeCdDrive() {
  cdrom::SetBackend(nullptr);
  gFake = nullptr;
}

void FakeCdDrive::Advance(int64_t ms) { clockMs += ms; }

int FakeCdDrive::PlayPosition() const {
  if (!playing) return pausedAt;
  const int64_t at = playFrom + (clockMs - playStartedAt) * 75 / 1000;
  return int(std::min<int64_t>(at, playEnd));
}

int FakeCdDrive::Open(const char *path, int) {
  if (!gFake || std::strcmp(path, "/dev/sr0") != 0) {
    errno = ENOENT;
    return -1;
  }
  ++gFake->opens;
  return kFd;
}

int FakeCdDrive::Close(int fd) { return fd == kFd ? 0 : -1; }

int FakeCdDrive::Ioctl(int fd, unsigned long request, void *argument) {
  if (!gFake || fd != kFd) {
    errno = EBADF;
    return -1;
  }
  if (request == SCSI_IOCTL_GET_IDLUN) {
    static_cast<int *>(argument)[0] = 1 << 24;  // host 1, channel 0, target 0, LUN 0
    return 0;
  }
  if (request != SG_IO) {
    errno = ENOTTY;
    return -1;
  }
  auto *io = static_cast<sg_io_hdr_t *>(argument);
  int senseLength = 0, residue = 0;
  uint8_t sense[32] = {};
  const int status = gFake->Command(io->cmdp, static_cast<uint8_t *>(io->dxferp), io->dxfer_len, sense, &senseLength,
                                    &residue);
  io->status = uint8_t(status);
  io->masked_status = uint8_t(status >> 1);
  io->host_status = 0;
  io->driver_status = status ? 0x08 : 0;
  io->sb_len_wr = uint8_t(std::min<int>(senseLength, io->mx_sb_len));
  if (io->sbp) std::memcpy(io->sbp, sense, io->sb_len_wr);
  io->resid = residue;
  return 0;
}

int FakeCdDrive::ReadToc(const uint8_t *cdb, uint8_t *data, uint32_t size, int *residue) {
  const int format = cdb[2] & 0x0F;
  const bool msf = cdb[1] & 0x02;
  std::vector<uint8_t> answer(4);
  const int last = int(starts.size());
  auto entry = [&](int track, int start) {
    const bool isAudio = track == 0xAA || audio[size_t(track - 1)];
    uint8_t e[8] = {0, uint8_t(isAudio ? 0x10 : 0x14), uint8_t(track), 0, 0, 0, 0, 0};
    if (msf)
      PutMsf(e + 5, start + 150);
    else
      PutBe32(e + 4, uint32_t(start));
    answer.insert(answer.end(), e, e + 8);
  };
  auto descriptor = [&](int control, int point, int address, int pmin) {
    uint8_t e[11] = {1, uint8_t(0x10 | control), 0, uint8_t(point), 0, 0, 0, 0, 0, 0, 0};
    if (pmin >= 0)
      e[8] = uint8_t(pmin);
    else
      PutMsf(e + 8, address);
    answer.insert(answer.end(), e, e + 11);
  };
  if (format == 0) {
    answer[2] = 1;
    answer[3] = uint8_t(last);
    for (int t = std::max<int>(cdb[6], 1); t <= last; ++t) entry(t, starts[size_t(t - 1)]);
    entry(0xAA, leadOut);
  } else {
    answer[2] = answer[3] = 1;
    descriptor(audio[0] ? 0 : 4, 0xA0, 0, 1);
    descriptor(audio[size_t(last - 1)] ? 0 : 4, 0xA1, 0, last);
    descriptor(0, 0xA2, leadOut + 150, -1);
    for (int t = 1; t <= last; ++t) descriptor(audio[size_t(t - 1)] ? 0 : 4, t, starts[size_t(t - 1)] + 150, -1);
  }
  const size_t length = answer.size() - 2;
  answer[0] = uint8_t(length >> 8);
  answer[1] = uint8_t(length);
  const size_t allocation = size_t(cdb[7]) << 8 | cdb[8];
  const size_t n = std::min({answer.size(), allocation, size_t(size)});
  std::memcpy(data, answer.data(), n);
  *residue = int(size - n);
  return 0;
}

int FakeCdDrive::Command(const uint8_t *cdb, uint8_t *data, uint32_t size, uint8_t *sense, int *senseLength,
                         int *residue) {
  const bool needsDisc = cdb[0] != 0x12 && cdb[0] != 0x1E && cdb[0] != 0xBB;
  if (needsDisc && !discPresent) return Check(sense, senseLength, 2, 0x3A, 0);  // medium not present
  switch (cdb[0]) {
    case 0x12: {  // INQUIRY
      uint8_t answer[36] = {5, 0x80, 5, 2, 31};
      std::memcpy(answer + 8, "QMVFAKE IMAGE DRIVE     1.0 ", 28);
      const uint32_t n = std::min<uint32_t>({size, 36u, cdb[4]});
      std::memcpy(data, answer, n);
      *residue = int(size - n);
      return 0;
    }
    case 0x00:  // TEST UNIT READY
      return 0;
    case 0x1E:
      prevented = cdb[4] & 1;
      return 0;
    case 0xBB:
      speedKb = cdb[2] << 8 | cdb[3];
      return 0;
    case 0x43:
      if ((cdb[2] & 0x0F) == 2 && !fullToc) return Check(sense, senseLength, 5, 0x24, 0);
      if ((cdb[2] & 0x0F) > 2) return Check(sense, senseLength, 5, 0x24, 0);
      return ReadToc(cdb, data, size, residue);
    case 0xBE: {  // READ CD
      const int lba = int(uint32_t(cdb[2]) << 24 | uint32_t(cdb[3]) << 16 | uint32_t(cdb[4]) << 8 | cdb[5]);
      const int count = cdb[6] << 16 | cdb[7] << 8 | cdb[8];
      if (lba < 0 || count < 1 || lba + count > leadOut || uint32_t(count) * kSector > size)
        return Check(sense, senseLength, 5, 0x21, 0);  // address out of range
      int by = 0;
      if (count > 1) {
        by = shift ? shift(readCount) : 0;
        ++readCount;
        reads.push_back({lba, count, by});
      }
      const int64_t from = int64_t(lba) * kSector + by;
      for (int64_t i = 0; i < int64_t(count) * kSector; ++i) {
        const int64_t at = from + i;
        data[i] = at >= 0 && at < int64_t(image.size()) ? image[size_t(at)] : 0;
      }
      *residue = int(size - uint32_t(count) * kSector);
      return 0;
    }
    case 0x47: {  // PLAY AUDIO MSF
      playFrom = std::max(Msf(cdb + 3) - 150, 0);
      playEnd = std::min(Msf(cdb + 6) - 150, leadOut);
      if (playFrom >= playEnd) return Check(sense, senseLength, 5, 0x21, 0);
      playStartedAt = clockMs;
      playing = true;
      paused = completed = false;
      return 0;
    }
    case 0x4B:  // PAUSE/RESUME
      if (cdb[8] & 1) {
        if (!paused) return Check(sense, senseLength, 5, 0x2C, 0);  // sequence error
        playFrom = pausedAt;
        playStartedAt = clockMs;
        playing = true;
        paused = false;
      } else {
        if (!playing) return Check(sense, senseLength, 5, 0x2C, 0);
        pausedAt = PlayPosition();
        playing = false;
        paused = true;
      }
      return 0;
    case 0x4E:  // STOP PLAY/SCAN
      pausedAt = PlayPosition();
      playing = paused = false;
      return 0;
    case 0x42: {  // READ SUB-CHANNEL, current position
      if (playing && PlayPosition() >= playEnd) {
        pausedAt = playEnd;
        playing = false;
        completed = true;
      }
      const int at = PlayPosition();
      int track = 1;
      for (size_t t = 0; t < starts.size(); ++t)
        if (at >= starts[t]) track = int(t) + 1;
      uint8_t answer[16] = {0, uint8_t(playing ? 0x11 : paused ? 0x12 : completed ? 0x13 : 0x15), 0, 12, 1, 0x10,
                            uint8_t(track), 1};
      const bool msf = cdb[1] & 0x02;
      if (msf) {
        PutMsf(answer + 9, at + 150);
        PutMsf(answer + 13, at - starts[size_t(track - 1)]);
      } else {
        PutBe32(answer + 8, uint32_t(at));
        PutBe32(answer + 12, uint32_t(at - starts[size_t(track - 1)]));
      }
      const uint32_t n = std::min<uint32_t>({size, 16u, uint32_t(cdb[7] << 8 | cdb[8])});
      std::memcpy(data, answer, n);
      *residue = int(size - n);
      return 0;
    }
    default:
      return Check(sense, senseLength, 5, 0x20, 0);  // invalid command
  }
}

void CdDriveTest::TearDown() {
  NonRealtimeEngine::TearDown();
  RemoveTestFiles(suite);
}
