#include "platform/cdrom/Mci.h"

#include "platform/cdrom/CdDrive.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace {

constexpr int kMaxTracks = 99;

struct Device {
  bool open;
  char letter;
  HANDLE drive;
  DWORD timeFormat;
  int count;  // tracks
  int starts[kMaxTracks + 1];  // sectors; the lead-out after the last track
  bool data[kMaxTracks];
};

std::mutex gLock;
Device gDevices[26];

// The outcome of a command: 0, or the MCI error it amounts to.
MCIERROR Send(Device &d, const uint8_t *cdb, int length, void *data = nullptr, uint32_t size = 0) {
  cdrom::PassThrough command{};
  std::memcpy(command.cdb, cdb, size_t(length));
  command.cdbLength = length;
  command.direction = data ? cdrom::DATA_IN : cdrom::DATA_NONE;
  command.data = data;
  command.dataLength = size;
  command.timeoutMs = 15000;
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!d.drive) d.drive = CdDrive_Open(d.letter);
    if (d.drive && CdDrive_PassThrough(d.drive, &command)) {
      if (command.scsiStatus == 0) return 0;
      const int key = command.senseLength >= 3 ? (command.sense[0] & 0x7F) >= 0x72 ? command.sense[1] & 0x0F
                                                                                   : command.sense[2] & 0x0F
                                               : 0;
      return key == 2 ? MCIERR_DEVICE_NOT_READY : MCIERR_HARDWARE;
    }
    // A handle that went bad (the drive was replugged) is opened again once.
    if (d.drive) CdDrive_Close(d.drive);
    d.drive = nullptr;
  }
  return MCIERR_HARDWARE;
}

uint32_t Be32(const uint8_t *p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

// The disc's tracks, read again at every use: discs change.
MCIERROR ReadToc(Device &d) {
  uint8_t answer[4 + 8 * (kMaxTracks + 1)] = {};
  const uint8_t cdb[10] = {0x43, 0, 0, 0, 0, 0, 1, uint8_t(sizeof answer >> 8), uint8_t(sizeof answer & 0xFF), 0};
  if (MCIERROR error = Send(d, cdb, 10, answer, sizeof answer)) return error;
  const int entries = std::min<int>(((answer[0] << 8 | answer[1]) - 2) / 8, kMaxTracks + 1);
  d.count = 0;
  for (int i = 0; i < entries; ++i) {
    const uint8_t *e = answer + 4 + 8 * i;
    const int start = int(Be32(e + 4) & 0x7FFFFFFF);
    if (e[2] == 0xAA) {
      d.starts[d.count] = start;
      return d.count > 0 ? 0 : MCIERR_DEVICE_NOT_READY;
    }
    if (d.count < kMaxTracks) {
      d.data[d.count] = e[1] & 0x04;
      d.starts[d.count++] = start;
    }
  }
  return MCIERR_DEVICE_NOT_READY;
}

struct Where {
  int status;  // audio status byte: 0x11 playing, 0x12 paused, ...
  int sector;
};

MCIERROR Locate(Device &d, Where *where) {
  uint8_t answer[16] = {};
  const uint8_t cdb[10] = {0x42, 0, 0x40, 1, 0, 0, 0, 0, sizeof answer, 0};
  if (MCIERROR error = Send(d, cdb, 10, answer, sizeof answer)) return error;
  where->status = answer[1];
  where->sector = int(Be32(answer + 8) & 0x7FFFFFFF);
  return 0;
}

int TrackAt(const Device &d, int sector) {
  int track = 1;
  for (int t = 0; t < d.count; ++t)
    if (sector >= d.starts[t]) track = t + 1;
  return track;
}

DWORD Msf(int sectors) { return MCI_MAKE_MSF(sectors / 4500, sectors % 4500 / 75, sectors % 75); }

MCIERROR Play(Device &d, int from, int to) {
  if (from < 0 || to <= from) return MCIERR_OUTOFRANGE;
  const int a = from + 150, b = to + 150;
  const uint8_t cdb[10] = {0x47, 0, 0, uint8_t(a / 4500), uint8_t(a % 4500 / 75), uint8_t(a % 75),
                           uint8_t(b / 4500), uint8_t(b % 4500 / 75), uint8_t(b % 75), 0};
  return Send(d, cdb, 10);
}

// A TMSF (or MSF) position as a sector of the disc.
MCIERROR SectorOf(const Device &d, DWORD value, int *sector) {
  if (d.timeFormat == MCI_FORMAT_TMSF) {
    const int track = int(value & 0xFF);
    if (track < 1 || track > d.count) return MCIERR_OUTOFRANGE;
    *sector = d.starts[track - 1] + (int((value >> 8) & 0xFF) * 60 + int((value >> 16) & 0xFF)) * 75 +
              int((value >> 24) & 0xFF);
  } else {
    *sector = (int(value & 0xFF) * 60 + int((value >> 8) & 0xFF)) * 75 + int((value >> 16) & 0xFF) - 150;
  }
  return 0;
}

MCIERROR Status(Device &d, DWORD_PTR flags, MCI_STATUS_PARMS *p) {
  if (!(flags & MCI_STATUS_ITEM)) return MCIERR_UNSUPPORTED_FUNCTION;
  if (p->dwItem == MCI_STATUS_MEDIA_PRESENT) {
    const uint8_t ready[6] = {0, 0, 0, 0, 0, 0};
    p->dwReturn = Send(d, ready, 6) == 0 && ReadToc(d) == 0;
    return 0;
  }
  if (MCIERROR error = ReadToc(d)) return error;
  const bool track = flags & MCI_TRACK;
  if (track && (p->dwTrack < 1 || int(p->dwTrack) > d.count)) return MCIERR_OUTOFRANGE;
  const int t = int(p->dwTrack) - 1;
  switch (p->dwItem) {
    case MCI_STATUS_NUMBER_OF_TRACKS:
      p->dwReturn = DWORD(d.count);
      return 0;
    case MCI_STATUS_LENGTH:
      p->dwReturn = track ? Msf(d.starts[t + 1] - d.starts[t]) : Msf(d.starts[d.count] - d.starts[0]);
      return 0;
    case MCI_CDA_STATUS_TYPE_TRACK:
      if (!track) return MCIERR_UNSUPPORTED_FUNCTION;
      p->dwReturn = d.data[t] ? MCI_CDA_TRACK_OTHER : MCI_CDA_TRACK_AUDIO;
      return 0;
    case MCI_STATUS_CURRENT_TRACK:
    case MCI_STATUS_POSITION: {
      Where where{};
      if (track) {
        where.sector = d.starts[t];
      } else if (MCIERROR error = Locate(d, &where)) {
        return error;
      }
      const int current = TrackAt(d, where.sector);
      if (p->dwItem == MCI_STATUS_CURRENT_TRACK) {
        p->dwReturn = DWORD(current);
      } else if (d.timeFormat == MCI_FORMAT_TMSF) {
        const int into = where.sector - d.starts[current - 1];
        p->dwReturn = MCI_MAKE_TMSF(current, into / 4500, into % 4500 / 75, into % 75);
      } else {
        p->dwReturn = Msf(where.sector + 150);
      }
      return 0;
    }
    default:
      return MCIERR_UNSUPPORTED_FUNCTION;
  }
}

MCIERROR Open(DWORD_PTR flags, MCI_OPEN_PARMSA *p) {
  const bool byType = (flags & MCI_OPEN_TYPE) && (flags & MCI_OPEN_TYPE_ID) &&
                      reinterpret_cast<DWORD_PTR>(p->lpstrDeviceType) == MCI_DEVTYPE_CD_AUDIO;
  const bool byName = (flags & MCI_OPEN_TYPE) && !(flags & MCI_OPEN_TYPE_ID) && p->lpstrDeviceType &&
                      std::strcmp(p->lpstrDeviceType, "cdaudio") == 0;
  if (!byType && !byName) return MCIERR_INVALID_DEVICE_NAME;
  char letter = 'D';
  if (flags & MCI_OPEN_ELEMENT) {
    if (!p->lpstrElementName || !p->lpstrElementName[0] || p->lpstrElementName[1] != ':')
      return MCIERR_INVALID_DEVICE_NAME;
    letter = p->lpstrElementName[0];
    if (letter >= 'a' && letter <= 'z') letter = char(letter - 'a' + 'A');
  }
  if (letter < 'A' || letter > 'Z') return MCIERR_INVALID_DEVICE_NAME;
  Device &d = gDevices[letter - 'A'];
  if (!d.open) {
    HANDLE drive = CdDrive_Open(letter);
    if (!drive) return MCIERR_INVALID_DEVICE_NAME;
    d = Device{};
    d.open = true;
    d.letter = letter;
    d.drive = drive;
    d.timeFormat = MCI_FORMAT_MSF;
  }
  p->wDeviceID = MCIDEVICEID(letter - 'A' + 1);
  return 0;
}

}  // namespace

MCIERROR mciSendCommandA(MCIDEVICEID id, UINT message, DWORD_PTR flags, DWORD_PTR parameters) {
  std::lock_guard<std::mutex> hold(gLock);
  if (message == MCI_OPEN) {
    auto *p = reinterpret_cast<MCI_OPEN_PARMSA *>(parameters);
    return p ? Open(flags, p) : MCIERR_UNSUPPORTED_FUNCTION;
  }
  if (id < 1 || id > 26 || !gDevices[id - 1].open) return MCIERR_INVALID_DEVICE_ID;
  Device &d = gDevices[id - 1];
  switch (message) {
    case MCI_CLOSE:
      if (d.drive) CdDrive_Close(d.drive);
      d = Device{};
      return 0;
    case MCI_SET: {
      auto *p = reinterpret_cast<MCI_SET_PARMS *>(parameters);
      if (!(flags & MCI_SET_TIME_FORMAT) || !p) return MCIERR_UNSUPPORTED_FUNCTION;
      if (p->dwTimeFormat != MCI_FORMAT_TMSF && p->dwTimeFormat != MCI_FORMAT_MSF) return MCIERR_OUTOFRANGE;
      d.timeFormat = p->dwTimeFormat;
      return 0;
    }
    case MCI_STATUS: {
      auto *p = reinterpret_cast<MCI_STATUS_PARMS *>(parameters);
      return p ? Status(d, flags, p) : MCIERR_UNSUPPORTED_FUNCTION;
    }
    case MCI_PLAY: {
      auto *p = reinterpret_cast<MCI_PLAY_PARMS *>(parameters);
      if (MCIERROR error = ReadToc(d)) return error;
      Where where{};
      if (MCIERROR error = Locate(d, &where)) return error;
      if (!(flags & MCI_FROM) && where.status == 0x12) {
        const uint8_t resume[10] = {0x4B, 0, 0, 0, 0, 0, 0, 0, 1, 0};
        return Send(d, resume, 10);
      }
      int from = where.sector, to = d.starts[d.count];
      if (p && (flags & MCI_FROM))
        if (MCIERROR error = SectorOf(d, p->dwFrom, &from)) return error;
      if (p && (flags & MCI_TO))
        if (MCIERROR error = SectorOf(d, p->dwTo, &to)) return error;
      return Play(d, from, to);
    }
    case MCI_PAUSE: {
      const uint8_t pause[10] = {0x4B, 0, 0, 0, 0, 0, 0, 0, 0, 0};
      return Send(d, pause, 10);
    }
    case MCI_STOP: {
      const uint8_t stop[12] = {0x4E, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
      return Send(d, stop, 12);
    }
    default:
      return MCIERR_UNSUPPORTED_FUNCTION;
  }
}

BOOL mciGetErrorStringA(MCIERROR error, LPSTR text, UINT size) {
  const char *message;
  switch (error) {
    case 0: message = "The specified command was carried out."; break;
    case MCIERR_INVALID_DEVICE_ID: message = "Invalid MCI device ID. Use the ID returned when opening the MCI device."; break;
    case MCIERR_HARDWARE: message = "The specified device is not ready or has a hardware error."; break;
    case MCIERR_INVALID_DEVICE_NAME: message = "The specified device is not open or is not recognized by MCI."; break;
    case MCIERR_UNSUPPORTED_FUNCTION: message = "The MCI device cannot carry out the specified command."; break;
    case MCIERR_DEVICE_NOT_READY: message = "The device is not ready. Make sure there is a disc in the drive."; break;
    case MCIERR_OUTOFRANGE: message = "The specified parameter is out of range for the specified command."; break;
    default: return FALSE;
  }
  if (!text || size == 0) return FALSE;
  std::snprintf(text, size, "%s", message);
  return TRUE;
}
