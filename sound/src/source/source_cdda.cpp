// CD audio read digitally through SCSI commands on the drive's pass-through
// path: tables of contents, raw audio sectors, overlap matching, and the
// stream callbacks of a CD stream.
#include "sound/src/source/source_cdda.h"

#include "platform/cdrom/CdDrive.h"
#include "platform/win32/WinLibrary.h"
#include "sound/src/format/format_tag.h"
#include "sound/src/system/system_memory.h"
#include "sound/src/system/system_pause.h"
#include "sound/src/system/system_string.h"
#include "sound/src/system/system_time.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace {

constexpr int kLeadOut = 0xAA;
constexpr int kMsfOffset = 150;  // sectors before track 1's first sector
constexpr int kLayerJump = 1053696;
constexpr uint32_t kCommandTimeoutMs = 15000;
constexpr uint32_t kInquiryTimeoutMs = 2000;

// One pass-through drive: letter, address and the handle commands go through.
struct PassThroughDrive {
  bool valid;
  int port, path, target, lun;
  HANDLE handle;
  uint8_t inquiry[36];
};

struct CddaSystem {
  bool initialised = false;
  PassThroughDrive drives[26] = {};
  int adapters[26] = {};
  int adapterCount = 0;
  CddaDevice *devices[OSND_CDDA_MAX_DEVICES] = {};
  int deviceCount = 0;
  HMODULE aspi = nullptr;
};
CddaSystem gCdda;
// Reads run on the streamer thread, the disc check on the caller's: one
// command at a time, so that each command's sense data stays its own. The
// device table and each device's open mark change under it too, as the
// disc check reads them.
std::recursive_mutex gCommandLock;

void SetOpen(CddaDevice *d, bool open) {
  SystemWaitingLock<std::recursive_mutex> guard(gCommandLock, "cd.commands.waiting");
  d->open = open;
}

// Two opens of one drive (the open thread's and a caller's) may meet: the
// mark is checked and set in one step, so that one of them has the drive.
bool Claim(CddaDevice *d) {
  {
    SystemWaitingLock<std::recursive_mutex> guard(gCommandLock, "cd.commands.waiting");
    if (d->open) return false;
    OSND_PAUSE_POINT("cd.drive.claiming");
    d->open = true;
  }
  OSND_PAUSE_POINT("cd.drive.claimed");
  return true;
}

const struct {
  int code;
  const char *text;
} kLayerTexts[] = {
    {0, "Ok"},
    {1, "Failed to initialise both ASPI and NTSCSI - you probably need to install ASPI drivers for your CD/DVD device!"},
    {2, "CDDA system already initialised"},
    {3, "ASPI error"},
    {4, "No CD/DVD devices found!"},
    {5, "GetProcAddress couldn't find ASPI functions!"},
};

uint32_t Be32(const uint8_t *p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

void PutBe32(uint8_t *p, uint32_t v) {
  p[0] = uint8_t(v >> 24);
  p[1] = uint8_t(v >> 16);
  p[2] = uint8_t(v >> 8);
  p[3] = uint8_t(v);
}

void AddDiscEntry(CddaDiscRecord *disc, int index, int32_t address) {
  if (!disc || index < 0 || index >= OSND_CDDA_MAX_TRACKS) return;
  address = std::max<int32_t>(address, 0);
  disc->minutes[index] = address / 4500;
  disc->seconds[index] = address % 4500 / 75;
  disc->frames[index] = address % 75;
}

void StartTables(CddaToc *toc, CddaDiscRecord *disc) {
  std::memset(toc, 0, sizeof *toc);
  if (disc) {
    std::memset(disc, 0, sizeof *disc);
    std::memcpy(disc->id, "TOC", 4);
  }
}

// Sets the length of the last counted entry that has none.
void CloseOpenLength(CddaToc *toc, int32_t nextStart) {
  if (toc->count > 0 && toc->length[toc->count - 1] == 0)
    toc->length[toc->count - 1] = std::max<int32_t>(nextStart - toc->start[toc->count - 1], 0);
}

PassThroughDrive *DriveOf(const CddaDevice *d) {
  return d->letter >= 0 && d->letter < 26 && gCdda.drives[d->letter].valid ? &gCdda.drives[d->letter] : nullptr;
}

bool Reopen(PassThroughDrive *drive, int letter) {
  if (drive->handle) CdDrive_Close(drive->handle);
  drive->handle = CdDrive_Open(char('A' + letter));
  return drive->handle != nullptr;
}

// Sends a command to a device; true when it completed without a SCSI
// status. The sense of every command is kept on the device.
bool Execute(CddaDevice *d, const uint8_t *cdb, int cdbLength, int direction, void *data, uint32_t size,
             uint32_t timeoutMs = kCommandTimeoutMs) {
  SystemWaitingLock<std::recursive_mutex> guard(gCommandLock, "cd.commands.waiting");
  d->senseKey = d->asc = d->ascq = 0;
  PassThroughDrive *drive = DriveOf(d);
  if (!drive) return false;
  cdrom::PassThrough command{};
  std::memcpy(command.cdb, cdb, size_t(cdbLength));
  command.cdbLength = cdbLength;
  command.direction = direction;
  command.data = data;
  command.dataLength = size;
  command.timeoutMs = timeoutMs;
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!drive->handle && !Reopen(drive, d->letter)) return false;
    if (CdDrive_PassThrough(drive->handle, &command)) {
      OsndCdda_ParseSense(command.sense, command.senseLength, &d->senseKey, &d->asc, &d->ascq);
      return command.scsiStatus == 0;
    }
    // A handle gone bad or a changed disc is worth one fresh open.
    const DWORD error = GetLastError();
    if (attempt > 0 || (error != ERROR_INVALID_HANDLE && error != ERROR_MEDIA_CHANGED)) return false;
    if (!Reopen(drive, d->letter)) return false;
  }
  return false;
}

bool TestUnitReady(CddaDevice *d) {
  const uint8_t cdb[6] = {0x00, 0, 0, 0, 0, 0};
  return Execute(d, cdb, 6, cdrom::DATA_NONE, nullptr, 0);
}

bool PreventRemoval(CddaDevice *d, bool prevent) {
  const uint8_t cdb[6] = {0x1E, 0, 0, 0, uint8_t(prevent ? 1 : 0), 0};
  return Execute(d, cdb, 6, cdrom::DATA_NONE, nullptr, 0);
}

bool SetSpeed(CddaDevice *d, int speed) {
  if (speed == -1) speed = d->defaultSpeed;
  if (speed < 1) return false;
  if (d->speedMethod == 2) {
    const uint8_t cdb[6] = {0x15, 0x10, 0, 0, 8, 0};
    uint8_t list[8] = {0, 0, 0, 0, 0x31, 2, uint8_t((speed > 4 ? 8 : speed) / 2), 0};
    return Execute(d, cdb, 6, cdrom::DATA_OUT, list, sizeof list);
  }
  const int kbPerSecond = speed * 1764 / 10;
  const uint8_t cdb[12] = {0xBB, 0, uint8_t(kbPerSecond >> 8), uint8_t(kbPerSecond), 0xFF, 0xFF, 0, 0, 0, 0, 0, 0};
  return Execute(d, cdb, 12, cdrom::DATA_NONE, nullptr, 0);
}

// Reads n sectors from sector s into the device's buffer with its read method.
bool ReadSectors(CddaDevice *d, int s, int n, uint8_t *into) {
  std::memset(into, 0, size_t(n) * OSND_CDDA_SECTOR);
  uint8_t cdb[12] = {};
  int length = 12;
  bool longCount = false;  // count in bytes 8-9 instead of 7-8
  switch (d->readMethod) {
    case 1: cdb[0] = 0x28; length = 10; break;
    case 2: cdb[0] = 0xD4; length = 10; break;
    case 3: cdb[0] = 0xD8; longCount = true; break;
    case 4: cdb[0] = 0xBE; cdb[1] = 4; cdb[9] = 0xF8; break;
    case 5: cdb[0] = 0xBE; cdb[9] = 0x10; break;
    case 6: cdb[0] = 0xD4; longCount = true; break;
    case 7: cdb[0] = 0xD5; length = 10; break;
    case 8: cdb[0] = 0xA8; longCount = true; break;
    default: cdb[0] = 0xBE; cdb[9] = 0xF8; break;
  }
  cdb[1] = uint8_t(cdb[1] | (d->lun & 7) << 5);
  PutBe32(cdb + 2, uint32_t(s));
  cdb[longCount ? 8 : 7] = uint8_t(n >> 8);
  cdb[longCount ? 9 : 8] = uint8_t(n);
  if (!Execute(d, cdb, length, cdrom::DATA_IN, into, uint32_t(n) * OSND_CDDA_SECTOR)) return false;
  const size_t bytes = size_t(n) * OSND_CDDA_SECTOR;
  if (!d->littleEndian)
    for (size_t i = 0; i + 1 < bytes; i += 2) std::swap(into[i], into[i + 1]);
  if (d->swapChannels)
    for (size_t i = 0; i + 3 < bytes; i += 4) {
      std::swap(into[i], into[i + 2]);
      std::swap(into[i + 1], into[i + 3]);
    }
  d->lastReadTime = SystemTime_GetMilliseconds();
  d->everRead = true;
  return true;
}

// Reads a table of contents: the full TOC when the drive gives a usable
// one, else the plain one.
bool ReadToc(CddaDevice *d, CddaToc *toc, CddaDiscRecord *disc) {
  static uint8_t answer[2048];
  SystemWaitingLock<std::recursive_mutex> guard(gCommandLock, "cd.commands.waiting");
  const uint8_t full[10] = {0x43, 0x02, 0x02, 0, 0, 0, 0x01, 0x08, 0x00, 0};
  std::memset(answer, 0, sizeof answer);
  if (Execute(d, full, 10, cdrom::DATA_IN, answer, sizeof answer) &&
      OsndCdda_ParseFullToc(answer, int(sizeof answer), toc, disc))
    return true;
  const uint8_t plain[10] = {0x43, 0x00, 0x00, 0, 0, 0, 0x01, 0x08, 0x00, 0};
  std::memset(answer, 0, sizeof answer);
  return Execute(d, plain, 10, cdrom::DATA_IN, answer, sizeof answer) &&
         OsndCdda_ParseToc(answer, int(sizeof answer), toc, disc);
}

bool Inquiry(HANDLE handle, uint8_t *out36) {
  uint8_t answer[192] = {};
  cdrom::PassThrough command{};
  command.cdb[0] = 0x12;
  command.cdb[4] = sizeof answer;
  command.cdbLength = 6;
  command.direction = cdrom::DATA_IN;
  command.data = answer;
  command.dataLength = sizeof answer;
  command.timeoutMs = kInquiryTimeoutMs;
  if (!CdDrive_PassThrough(handle, &command) || command.scsiStatus != 0) return false;
  std::memcpy(out36, answer, 36);
  return true;
}

void FreeDevice(CddaDevice *d) {
  OSND_FREE_MEM(d->buffer);
  OSND_FREE_MEM(d->lastSector);
  OSND_FREE_MEM(d);
}

int Initialise(bool forceAspi) {
  // The table is filled on the open thread while OSND_Update's scan reads it.
  SystemWaitingLock<std::recursive_mutex> guard(gCommandLock, "cd.commands.waiting");
  if (gCdda.initialised) return 0;
  gCdda.aspi = nullptr;
  int found = 0, counter = 0;
  if (!forceAspi) {
    for (int letter = 2; letter < 26; ++letter) {
      const char root[4] = {char('A' + letter), ':', '\\', 0};
      if (GetDriveTypeA(root) != DRIVE_CDROM) continue;
      HANDLE handle = CdDrive_Open(char('A' + letter));
      if (!handle) continue;
      PassThroughDrive &drive = gCdda.drives[letter];
      drive = PassThroughDrive{};
      if (Inquiry(handle, drive.inquiry)) {
        cdrom::Address address{};
        if (CdDrive_GetAddress(handle, &address)) {
          drive.port = address.port;
          drive.path = address.path;
          drive.target = address.target;
          drive.lun = address.lun;
        } else {
          drive.port = drive.path = 10;
          drive.target = counter++;
        }
        drive.valid = true;
        ++found;
      }
      CdDrive_Close(handle);
    }
  }
  if (found == 0) {
    // No pass-through drive: the ASPI manager would be next, which this
    // system does not have unless it was installed by name.
    gCdda.aspi = LoadLibraryA("wnaspi32.dll");
    if (!gCdda.aspi) {
      OsndCdda_CloseAll();
      return 1;
    }
    // A manager that is there but offers nothing this layer can drive.
    OsndCdda_CloseAll();
    return 5;
  }
  // Adapters in ascending order, then the devices in address order.
  gCdda.adapterCount = 0;
  for (const PassThroughDrive &drive : gCdda.drives) {
    if (!drive.valid) continue;
    bool known = false;
    for (int i = 0; i < gCdda.adapterCount; ++i) known = known || gCdda.adapters[i] == drive.port;
    if (!known) gCdda.adapters[gCdda.adapterCount++] = drive.port;
  }
  std::sort(gCdda.adapters, gCdda.adapters + gCdda.adapterCount);
  for (int a = 0; a < gCdda.adapterCount && gCdda.deviceCount < OSND_CDDA_MAX_DEVICES; ++a)
    for (int target = 0; target < 256; ++target)
      for (int lun = 0; lun < 8; ++lun)
        for (int letter = 0; letter < 26 && gCdda.deviceCount < OSND_CDDA_MAX_DEVICES; ++letter) {
          const PassThroughDrive &drive = gCdda.drives[letter];
          if (!drive.valid || drive.port != gCdda.adapters[a] || drive.target != target || drive.lun != lun) continue;
          auto *d = static_cast<CddaDevice *>(OSND_ALLOC(int(sizeof(CddaDevice))));
          if (!d) continue;
          std::memset(d, 0, sizeof *d);
          d->letter = letter;
          d->adapter = a;
          d->target = target;
          d->lun = lun;
          d->readMethod = 0;
          d->speedMethod = 1;
          d->littleEndian = true;
          d->swapChannels = false;
          d->spinUpSeconds = 1;
          d->defaultSpeed = 32;
          d->sectorsPerRead = 26;
          d->overlapMatching = true;
          d->overlapSectors = 7;
          d->firstRead = true;
          std::memcpy(d->inquiry, drive.inquiry, sizeof d->inquiry);
          gCdda.devices[gCdda.deviceCount++] = d;
        }
  if (gCdda.deviceCount == 0) {
    OsndCdda_CloseAll();
    return 4;
  }
  gCdda.initialised = true;
  return 0;
}

void AddTag(OsndFormatInfo *info, const char *name, const void *value, int length) {
  if (info->tags) OsndTag_Add(OSND_TAG_CD, name, value, length, info->tags);
}

void AddError(OsndFormatInfo *info, const char *text) {
  AddTag(info, "CD_ERROR", text, int(std::strlen(text)) + 1);
}

bool OpenRange(CddaDevice *d, int start, int sectors) {
  d->rangeStart = start;
  d->rangeSectors = sectors;
  d->current = start;
  d->remaining = sectors;
  d->data = nullptr;
  d->left = 0;
  SetOpen(d, true);
  if (!d->buffer) d->buffer = static_cast<uint8_t *>(OSND_ALLOC(d->sectorsPerRead * OSND_CDDA_SECTOR));
  if (!d->buffer) return false;
  if (d->overlapMatching) {
    if (!d->lastSector) d->lastSector = static_cast<uint8_t *>(OSND_ALLOC(OSND_CDDA_SECTOR));
    if (!d->lastSector) return false;
    std::memset(d->lastSector, 0, OSND_CDDA_SECTOR);
    d->firstRead = true;
  }
  SetSpeed(d, 4);
  if (!d->everRead || SystemTime_GetMilliseconds() - d->lastReadTime > 4000) {
    // A drive that has been idle spins up on reads of the range's start.
    const int reads = d->spinUpSeconds * 1000 / 20;
    for (int i = 0; i < reads; ++i) {
      ReadSectors(d, start, 1, d->buffer);
      SystemTime_Sleep(20);
    }
  }
  return true;
}

bool CddaRead(OSND_STREAM *s, uint8_t *, int, uint8_t *destination, int *bytes) {
  auto *d = static_cast<CddaDevice *>(s->formatState);
  if (!d || !d->open) {
    *bytes = 0;
    return false;
  }
  if (d->left <= 0) {
    if (d->remaining <= 0 || OsndCdda_ReadBlock(d) <= 0) {
      *bytes = 0;
      return false;
    }
  }
  const int n = std::min(d->left, std::max(*bytes, 0));
  std::memcpy(destination, d->data, size_t(n));
  d->data += n;
  d->left -= n;
  *bytes = n;
  return d->left > 0 || d->remaining > 0;
}

CddaDevice *DeviceForLetter(int letter) {
  for (int i = 0; i < gCdda.deviceCount; ++i)
    if (gCdda.devices[i]->letter == letter) return gCdda.devices[i];
  return nullptr;
}

}  // namespace

const char *OsndCdda_ErrorText(int code) {
  for (const auto &row : kLayerTexts)
    if (row.code == code) return row.text;
  return "Unknown";
}

void OsndCdda_ParseSense(const uint8_t *sense, int size, int *key, int *asc, int *ascq) {
  *key = *asc = *ascq = 0;
  if (!sense || size < 1) return;
  const int form = sense[0] & 0x7F;
  if (form == 0x72 || form == 0x73) {
    if (size < 4) return;
    *key = sense[1] & 0x0F;
    *asc = sense[2];
    *ascq = sense[3];
  } else if (form == 0x70 || form == 0x71) {
    if (size < 3) return;
    *key = sense[2] & 0x0F;
    // The codes count only where the additional length reaches them.
    const int available = size >= 8 ? std::min(size, 8 + int(sense[7])) : size;
    if (available >= 13) *asc = sense[12];
    if (available >= 14) *ascq = sense[13];
  }
}

bool OsndCdda_ParseFullToc(const uint8_t *data, int size, CddaToc *toc, CddaDiscRecord *disc) {
  if (!data || size < 4) return false;
  const int declared = int(data[0]) << 8 | data[1];
  const int body = declared - 2;
  if (body < 44 || body % 11 != 0) return false;
  const int descriptors = std::min(body, size - 4) / 11;
  StartTables(toc, disc);
  int first = 0, last = 0;
  int32_t discEnd = 0, previous = -1;
  bool sessionEndSeen = false, nextSessionSeen = false;
  int32_t sessionEnd = 0, nextSession = 0;
  int discIndex = 0;
  for (int i = 0; i < descriptors; ++i) {
    const uint8_t *e = data + 4 + i * 11;
    const int adrControl = e[1], point = e[3];
    const int32_t position = (int32_t(e[8]) * 60 + e[9]) * 75 + e[10] + kLayerJump * int32_t(e[7]);
    switch (point) {
      case 0xA0:
        if (e[8] > first && e[8] > last) first = e[8];
        continue;
      case 0xA1:
        if (e[8] >= first && e[8] > last) last = e[8];
        continue;
      case 0xA2:
        if (!sessionEndSeen) {
          sessionEnd = position - kMsfOffset;
          sessionEndSeen = true;
        }
        discEnd = std::max(discEnd, position);
        continue;
      case 0xB0:
        if (!nextSessionSeen) {
          nextSession = position;
          nextSessionSeen = true;
        }
        continue;
      default:
        break;
    }
    if (point < first || point > last || point < 1 || point > 99) continue;
    if (position > discEnd) discEnd = position + 1;
    if (position < previous || position >= discEnd) continue;
    // Room is kept for the lead-out in the table and in the disc record,
    // which also lists the data tracks the table leaves out.
    if (toc->count >= OSND_CDDA_MAX_TRACKS - 1 || discIndex >= OSND_CDDA_MAX_TRACKS - 1) break;
    previous = position;
    const int32_t start = position - kMsfOffset;
    CloseOpenLength(toc, start);
    const int at = toc->count;
    toc->control[at] = 0;
    toc->track[at] = uint8_t(point);
    toc->start[at] = start;
    toc->length[at] = 0;
    if (disc) {
      AddDiscEntry(disc, discIndex++, position);
      if (!(adrControl & 0x04)) ++toc->count;
    } else {
      ++toc->count;
    }
  }
  (void)sessionEnd;
  (void)nextSession;
  // The lead-out is an address like the entries' (start + 150): the table
  // holds sectors, so the last track ends where the lead-out's sector is.
  const int32_t leadOut = std::max<int32_t>(discEnd - kMsfOffset, 0);
  CloseOpenLength(toc, leadOut);
  const int at = toc->count;
  toc->control[at] = 0;
  toc->track[at] = kLeadOut;
  toc->start[at] = leadOut;
  toc->length[at] = 0;
  ++toc->count;
  if (disc) {
    disc->count = discIndex;
    AddDiscEntry(disc, discIndex, discEnd);
  }
  return true;
}

bool OsndCdda_ParseToc(const uint8_t *data, int size, CddaToc *toc, CddaDiscRecord *disc) {
  if (!data || size < 4) return false;
  const int declared = int(data[0]) << 8 | data[1];
  const int entries = std::min(std::max(declared - 2, 0) / 8, (size - 4) / 8);
  StartTables(toc, disc);
  int discIndex = 0;
  for (int i = 0; i < entries; ++i) {
    const uint8_t *e = data + 4 + i * 8;
    const int control = e[1], track = e[2];
    int32_t start = int32_t(Be32(e + 4));
    if (start < 0 || start > 0x7FFFFFFF - kMsfOffset) continue;
    if (track != kLeadOut && (toc->count >= OSND_CDDA_MAX_TRACKS - 1 || discIndex >= OSND_CDDA_MAX_TRACKS - 1))
      continue;  // room is kept for the lead-out
    // The audio track before a data track ends where the data session's gap
    // begins, when there is room for one: a data track straight after the
    // audio in one session leaves the audio its whole length.
    const bool gap = (control & 0x04) && track != kLeadOut && toc->count > 0 &&
                     start - 11250 > toc->start[toc->count - 1];
    CloseOpenLength(toc, gap ? start - 11250 : start);
    if (!disc && track == kLeadOut) start += kMsfOffset;
    const int at = toc->count;
    toc->control[at] = uint8_t(control);
    toc->track[at] = uint8_t(track);
    toc->start[at] = start;
    toc->length[at] = 0;
    if (disc) {
      if (track == kLeadOut) {
        disc->count = discIndex;
        AddDiscEntry(disc, discIndex, start + kMsfOffset);
      } else {
        AddDiscEntry(disc, discIndex++, start + kMsfOffset);
      }
      if (track == kLeadOut || !(control & 0x04)) ++toc->count;
    } else {
      ++toc->count;
    }
    if (track == kLeadOut) break;
  }
  return toc->count > 0;
}

bool OsndCdda_OpenDevice(const char *name, OsndFormatInfo *info, CddaDevice **out) {
  *out = nullptr;
  info->rate = 44100;
  info->channels = 2;
  info->mode = (info->mode & ~(OSND_MODE_8BITS | OSND_MODE_MONO | OSND_MODE_UNSIGNED)) |
               (OSND_MODE_16BITS | OSND_MODE_STEREO | OSND_MODE_SIGNED);
  info->blockSize = OSND_CDDA_SECTOR;
  info->source = OSND_SOURCE_CD;
  info->dataLength = info->decodedLength = 0;
  info->dataOffset = 0;
  info->callbacks.read = CddaRead;
  info->callbacks.close = OsndCdda_CloseDevice;
  info->inputSize = 0;
  // Reads after a seek start at a sector: the samples before the one asked
  // for pass through the decode block to be skipped.
  info->decodeBlock = 26 * OSND_CDDA_SECTOR;

  char letter = name[0];
  if (letter >= 'a' && letter <= 'z') letter = char(letter - 'a' + 'A');
  bool wantInfo = false, infoOnly = false, noJitter = false, forceAspi = false;
  if (name[2] == '*')
    for (const char *o = name + 3; *o; ++o) {
      if (*o == '?') wantInfo = true;
      if (*o == '!') infoOnly = true;
      if (*o == 'J' || *o == 'j') noJitter = true;
      if (*o == 'A' || *o == 'a') forceAspi = true;
    }

  char text[256];
  const int code = Initialise(forceAspi);
  if (code != 0) {
    std::snprintf(text, sizeof text, "ERROR: %s", OsndCdda_ErrorText(code));
    AddError(info, text);
    return true;
  }
  CddaDevice *d = DeviceForLetter(letter - 'A');
  if (!d) {
    std::snprintf(text, sizeof text, "ERROR: Couldn't access CD/DVD device at %c:", letter);
    AddError(info, text);
    return true;
  }
  if (!Claim(d)) {
    std::snprintf(text, sizeof text, "ERROR: %c: already open", letter);
    AddError(info, text);
    return true;
  }
  d->infoOnly = infoOnly;
  d->overlapMatching = !noJitter;
  if (wantInfo) {
    char facts[64];
    int n = std::snprintf(facts, sizeof facts, "NTSCSI\r\n");
    std::memcpy(facts + n, d->inquiry + 8, 28);
    n += 28;
    facts[n] = '\0';
    AddTag(info, "CD_DEVICE_INFO", facts, n + 1);
  }
  // A drive that fails here was never the stream's: it is let go.
  if (!TestUnitReady(d)) {
    SetOpen(d, false);
    AddError(info, "ERROR: Device not ready  (Make sure there's a CD/DVD in the drive!)");
    return true;
  }
  if (!ReadToc(d, &d->toc, &d->disc) || d->toc.count < 2) {
    SetOpen(d, false);
    AddError(info, "ERROR: No audio tracks!  (Please insert a CD/DVD that contains one or more audio tracks)");
    return true;
  }
  AddTag(info, "CD_TOC", &d->disc, int(sizeof d->disc));
  PreventRemoval(d, true);
  info->state = d;
  *out = d;
  if (infoOnly) {
    // The drive stays this stream's while it is open, tracks or no tracks.
    d->rangeStart = d->rangeSectors = d->current = d->remaining = 0;
    return true;
  }
  const uint32_t bytes = OsndCdda_OpenTrack(d, 0);
  if (bytes == 0) {
    AddError(info, "ERROR: Couldn't open track 0");
    return true;
  }
  info->dataLength = info->decodedLength = bytes;
  info->blockSize = d->sectorsPerRead * OSND_CDDA_SECTOR;
  return true;
}

uint32_t OsndCdda_OpenTrack(CddaDevice *d, int track) {
  if (!d || track < 0 || track >= d->toc.count - 1 || d->toc.length[track] <= 0) return 0;
  if (!OpenRange(d, d->toc.start[track], d->toc.length[track])) return 0;
  return uint32_t(d->toc.length[track]) * OSND_CDDA_SECTOR;
}

uint32_t OsndCdda_GetTrackLength(CddaDevice *d, int track) {
  if (!d || track < 0 || track >= d->toc.count - 1) return 0;
  return uint32_t(std::max(d->toc.length[track], 0)) * OSND_CDDA_SECTOR;
}

bool OsndCdda_IsInfoOnly(CddaDevice *d) { return d && d->infoOnly; }

bool OsndCdda_Seek(CddaDevice *d, uint32_t offset, uint32_t *reached) {
  if (!d || !d->open) return false;
  const int sector = int(offset / OSND_CDDA_SECTOR);
  if (sector >= d->rangeSectors) return false;
  d->current = d->rangeStart + sector;
  d->remaining = d->rangeSectors - sector;
  d->data = nullptr;
  d->left = 0;
  d->firstRead = true;
  if (reached) *reached = uint32_t(sector) * OSND_CDDA_SECTOR;
  return true;
}

void OsndCdda_StreamOpen(const char *name, OsndFormatInfo *info) {
  CddaDevice *device = nullptr;
  OsndCdda_OpenDevice(name, info, &device);
}

bool OsndCdda_StreamSeek(void *device, uint64_t samples, uint32_t *reached) {
  auto *d = static_cast<CddaDevice *>(device);
  *reached = 0;
  // A drive that opened no track has nothing to play, which position 0 is.
  if (!d || !d->open || d->rangeSectors == 0) return samples == 0;
  return OsndCdda_Seek(d, uint32_t(samples * 4), reached);
}

int OsndCdda_StreamTrackCount(void *device) {
  auto *d = static_cast<CddaDevice *>(device);
  return d ? d->toc.count - 1 : 0;
}

uint32_t OsndCdda_StreamSelectTrack(void *device, int track, bool *infoOnly) {
  auto *d = static_cast<CddaDevice *>(device);
  *infoOnly = OsndCdda_IsInfoOnly(d);
  return *infoOnly ? OsndCdda_GetTrackLength(d, track) : OsndCdda_OpenTrack(d, track);
}

int OsndCdda_ReadBlock(CddaDevice *d) {
  const int n = std::min(d->remaining, d->sectorsPerRead);
  if (n <= 0 || !d->buffer) return 0;
  bool read = false;
  for (int attempt = 0; attempt < 10 && !read; ++attempt) {
    if (attempt > 0) SystemTime_Sleep(1);
    read = ReadSectors(d, d->current, n, d->buffer);
  }
  if (!read) return -1;
  const int bytes = n * OSND_CDDA_SECTOR;
  const bool endsRange = n >= d->remaining;
  const int o = d->overlapSectors;
  const int back = o / 2 + 1;  // sectors the next read goes back over
  auto advance = [&](bool overlapNext) {
    if (overlapNext && !endsRange && n > back) {
      d->current += n - back;
      d->remaining -= n - back;
    } else {
      d->current += n;
      d->remaining -= n;
    }
  };
  if (!d->overlapMatching) {
    advance(false);
    d->data = d->buffer;
    d->left = bytes;
    return bytes;
  }
  uint8_t *lastOfBuffer = d->buffer + bytes - OSND_CDDA_SECTOR;
  if (d->firstRead) {
    // The first read after an open or a seek has nothing to match against.
    // It is taken whole, and the next read starts early enough to overlap it
    // so that the two are joined by matching too.
    advance(true);
    std::memcpy(d->lastSector, lastOfBuffer, OSND_CDDA_SECTOR);
    d->firstRead = false;
    d->data = d->buffer;
    d->left = bytes;
    return bytes;
  }
  const int window = (std::min(n, o) - 1) * OSND_CDDA_SECTOR;
  if (window < 1 || n <= o / 2) {
    std::memset(d->buffer, 0, size_t(bytes));
    std::memset(d->lastSector, 0, OSND_CDDA_SECTOR);
    advance(false);
    d->data = d->buffer;
    d->left = bytes;
    return bytes;
  }
  const int middle = window / 2;
  int start = 0;
  for (int step = 0; step < window / 2; step += 4) {
    if (std::memcmp(d->buffer + middle + step, d->lastSector, OSND_CDDA_SECTOR) == 0) {
      start = middle + step + OSND_CDDA_SECTOR;
      break;
    }
    if (std::memcmp(d->buffer + middle - step, d->lastSector, OSND_CDDA_SECTOR) == 0) {
      start = middle - step + OSND_CDDA_SECTOR;
      break;
    }
  }
  advance(true);
  std::memcpy(d->lastSector, lastOfBuffer, OSND_CDDA_SECTOR);
  d->data = d->buffer + start;
  d->left = bytes - start;
  return d->left;
}

bool OsndCdda_CloseDevice(void *state) {
  auto *d = static_cast<CddaDevice *>(state);
  if (!d) return false;
  PreventRemoval(d, false);
  PassThroughDrive *drive = DriveOf(d);
  if (drive && drive->handle) {
    SystemWaitingLock<std::recursive_mutex> guard(gCommandLock, "cd.commands.waiting");
    CdDrive_Close(drive->handle);
    drive->handle = nullptr;
  }
  OSND_FREE_MEM(d->buffer);
  OSND_FREE_MEM(d->lastSector);
  d->buffer = d->lastSector = nullptr;
  d->data = nullptr;
  d->left = 0;
  SetOpen(d, false);
  return true;
}

void OsndCdda_ScanDrives() {
  // Beside the open thread, which finds, opens and closes the drives.
  SystemWaitingLock<std::recursive_mutex> guard(gCommandLock, "cd.commands.waiting");
  const uint32_t now = SystemTime_GetMilliseconds();
  for (int i = 0; i < gCdda.deviceCount; ++i) {
    CddaDevice *d = gCdda.devices[i];
    if (!d->open || now - d->lastMediaCheck < 1000) continue;
    OSND_PAUSE_POINT("cd.drive.checked");
    d->lastMediaCheck = now;
    uint8_t answer[12];
    const uint8_t cdb[10] = {0x43, 0, 0, 0, 0, 0, 0x01, 0, sizeof answer, 0};
    d->notReady = !Execute(d, cdb, 10, cdrom::DATA_IN, answer, sizeof answer);
  }
}

void OsndCdda_CloseAll() {
  SystemWaitingLock<std::recursive_mutex> guard(gCommandLock, "cd.commands.waiting");
  for (int i = 0; i < gCdda.deviceCount; ++i) {
    if (gCdda.devices[i]->open) OsndCdda_CloseDevice(gCdda.devices[i]);
    FreeDevice(gCdda.devices[i]);
    gCdda.devices[i] = nullptr;
  }
  gCdda.deviceCount = 0;
  if (gCdda.aspi) FreeLibrary(gCdda.aspi);
  gCdda.aspi = nullptr;
  for (PassThroughDrive &drive : gCdda.drives) {
    if (drive.handle) CdDrive_Close(drive.handle);
    drive = PassThroughDrive{};
  }
  gCdda.adapterCount = 0;
  gCdda.initialised = false;
}
