#include "sound/src/source/source_record.h"

#include "platform/dsound/DSound.h"
#include "platform/win32/WinLibrary.h"
#include "sound/src/core/osnd_pending.h"
#include "sound/src/system/system_string.h"
#include "sound/src/output/output_dsound.h"
#include "sound/src/output/output_nosound.h"
#include "sound/src/system/system_thread.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace {

using CaptureCreateProc = HRESULT (*)(const GUID *, IDirectSoundCapture **, IUnknown *);
using EnumerateProc = HRESULT (*)(LPDSENUMCALLBACKA, void *);
constexpr int kMaxDevices = 64;

struct RecordState {
  OSND_SAMPLE *sample = nullptr;
  std::atomic<int> writePosition{0};
  bool loop = false;
  int bufferLength = 0;  // samples of the device's record buffer
};

struct CaptureState {
  CaptureCreateProc create = nullptr;
  EnumerateProc enumerate = nullptr;
  GUID guids[kMaxDevices]{};
  bool hasGuid[kMaxDevices]{};
  IDirectSoundCapture *object = nullptr;
  IDirectSoundCaptureBuffer *buffer = nullptr;
  int frameBytes = 0;
  int bufferBytes = 0;
  std::atomic<bool> threadRunning{false};
  SystemThreadHandle thread = nullptr;
};

RecordState gRecord;
CaptureState gCapture;

bool Available() { return gCapture.create && gCapture.enumerate; }

unsigned Scale(const OSND_SAMPLE *s) {
  unsigned scale = 1;
  if (s->mode & OSND_MODE_16BITS) scale *= 2;
  if (s->mode & OSND_MODE_STEREO) scale *= 2;
  return scale;
}

BOOL EnumerateCallback(GUID *guid, LPCSTR description, LPCSTR, void *) {
  if (gOsnd.numRecordDrivers < kMaxDevices) {
    const int i = Osnd_AddRecordDriverName(description);
    gCapture.hasGuid[i] = guid != nullptr;
    gCapture.guids[i] = guid ? *guid : GUID{};
  }
  return TRUE;
}

unsigned RecordThread(void *) {
  gCapture.threadRunning = true;
  int last = 0;
  while (gOsnd.recording) {
    const int position = OsndOutputDSound.recordPosition();
    if (position >= 0 && gRecord.sample) {
      int delta = position - last;
      if (delta < 0) delta += gRecord.bufferLength;
      const int piece = std::max<int>(1, int(gRecord.sample->length));
      for (int start = last; delta > 0 && gOsnd.recording;) {
        const int n = std::min(delta, piece);
        OsndRecord_CopyToSample(start, n);
        start = gRecord.bufferLength > 0 ? (start + n) % gRecord.bufferLength : 0;
        delta -= n;
      }
      last = position;
    }
    SystemTime_Sleep(2);
  }
  gCapture.threadRunning = false;
  return 0;
}

}  // namespace

int OsndRecord_WritePosition() { return gRecord.writePosition; }

void OsndRecord_CopyToSample(int devicePosition, int length) {
  OSND_SAMPLE *s = gRecord.sample;
  if (!s || length <= 0 || !gOsnd.output || !gOsnd.recording) return;
  const int write = gRecord.writePosition;
  // A recording that does not loop keeps what it took first: what would pass
  // the end is not written over the sample's start.
  if (!gRecord.loop) length = std::min(length, int(s->length) - write);
  if (length <= 0) {
    gOsnd.recording = false;
    return;
  }
  const unsigned scale = Scale(s);
  void *d1 = nullptr, *d2 = nullptr;
  unsigned dl1 = 0, dl2 = 0;
  if (!gOsnd.output->recordLock(unsigned(devicePosition) * scale, unsigned(length) * scale, &d1, &d2, &dl1, &dl2))
    return;
  void *s1 = nullptr, *s2 = nullptr;
  unsigned sl1 = 0, sl2 = 0;
  if (!OSND_Sample_Lock(s, int(unsigned(write) * scale), int(unsigned(length) * scale), &s1, &s2, &sl1, &sl2)) {
    gOsnd.output->recordUnlock(d1, d2, dl1, dl2);
    return;
  }
  // Copies the device's one or two parts into the sample's one or two parts in order.
  const uint8_t *from[2] = {static_cast<const uint8_t *>(d1), static_cast<const uint8_t *>(d2)};
  const unsigned fromBytes[2] = {d1 ? dl1 : 0, d2 ? dl2 : 0};
  uint8_t *to[2] = {static_cast<uint8_t *>(s1), static_cast<uint8_t *>(s2)};
  const unsigned toBytes[2] = {s1 ? sl1 : 0, s2 ? sl2 : 0};
  unsigned fi = 0, fo = 0, ti = 0, to_ = 0;
  while (fi < 2 && ti < 2) {
    if (fo >= fromBytes[fi]) {
      ++fi;
      fo = 0;
      continue;
    }
    if (to_ >= toBytes[ti]) {
      ++ti;
      to_ = 0;
      continue;
    }
    const unsigned n = std::min(fromBytes[fi] - fo, toBytes[ti] - to_);
    std::memcpy(to[ti] + to_, from[fi] + fo, n);
    fo += n;
    to_ += n;
  }
  gOsnd.output->recordUnlock(d1, d2, dl1, dl2);
  OSND_Sample_Unlock(s, s1, s2, sl1, sl2);
  int next = write + length;
  if (!s2 && next < int(s->length)) {
    gRecord.writePosition = next;
    return;
  }
  if (gRecord.loop) {
    next -= int(s->length);
    gRecord.writePosition = next;
  } else {
    gRecord.writePosition = next;
    gOsnd.recording = false;
  }
}

bool OsndRecord_Stop() {
  Osnd_ResetError();
  if (!gOsnd.initialised) return false;
  gOsnd.output->recordStop();
  gOsnd.recording = false;
  gRecord.sample = nullptr;  // the record threads have ended: nothing holds it now
  return true;
}

void OsndRecord_Forget() {
  gOsnd.recording = false;
  gRecord.sample = nullptr;
}

extern "C" bool OSND_Record_Stop() { return OsndRecord_Stop(); }

extern "C" bool OSND_Record_StartSample(int driver, OSND_SAMPLE *sample, bool loop) {
  Osnd_ResetError();
  if (!gOsnd.initialised || !gOsnd.output) return Osnd_Fail(OSND_ERR_UNINITIALISED);
  if (!sample || sample->length == 0 || (sample->mode & OSND_MODE_MULTICHANNEL))
    return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  gOsnd.output->recordStop();
  gOsnd.recording = false;
  gOsnd.numRecordDrivers = 0;
  gOsnd.output->recordEnumerate();
  if (driver < 0 || driver >= std::max(gOsnd.numRecordDrivers, 1)) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  gOsnd.recordDriver = driver;
  if (!gOsnd.output->recordInit(driver)) return false;
  gRecord.sample = sample;
  gRecord.writePosition = 0;
  gRecord.loop = loop;
  gRecord.bufferLength = int(sample->length);
  gOsnd.recording = true;
  if (!gOsnd.output->recordStart(int(sample->length), sample->mode, sample->defFrequency)) {
    gOsnd.recording = false;
    gOsnd.output->recordStop();
    if (gOsnd.lastError == OSND_ERR_NONE) Osnd_SetError(OSND_ERR_PLAY);
    return false;
  }
  return true;
}

// DirectSound capture.

void OutputDSound_LoadCapture(void *module, bool version8) {
  auto *m = static_cast<HMODULE>(module);
  gCapture.create = reinterpret_cast<CaptureCreateProc>(
      GetProcAddress(m, version8 ? "DirectSoundCaptureCreate8" : "DirectSoundCaptureCreate"));
  gCapture.enumerate = reinterpret_cast<EnumerateProc>(GetProcAddress(m, "DirectSoundCaptureEnumerateA"));
}

void OutputDSound_CloseCapture() {
  if (gCapture.object) gCapture.object->Release();
  gCapture.object = nullptr;
  gCapture.create = nullptr;
  gCapture.enumerate = nullptr;
}

bool OsndRecordDSound_Enumerate() {
  OsndOutputDSound.enumerate();  // loads the module and its capture entry points
  if (!Available()) return OsndOutputNoSound.recordEnumerate();
  gOsnd.numRecordDrivers = 0;
  gCapture.enumerate(EnumerateCallback, nullptr);
  return true;
}

bool OsndRecordDSound_Init(int driver) {
  if (!Available()) return OsndOutputNoSound.recordInit(driver);
  if (gCapture.object) gCapture.object->Release();
  gCapture.object = nullptr;
  const GUID *device =
      (driver != 0 && driver >= 0 && driver < kMaxDevices && gCapture.hasGuid[driver]) ? &gCapture.guids[driver] : nullptr;
  if (FAILED(gCapture.create(device, &gCapture.object, nullptr))) {
    gCapture.object = nullptr;
    return Osnd_Fail(OSND_ERR_RECORD);
  }
  return true;
}

bool OsndRecordDSound_Start(int length, unsigned mode, int rate) {
  if (!Available()) return OsndOutputNoSound.recordStart(length, mode, rate);
  if (!gCapture.object) return Osnd_Fail(OSND_ERR_RECORD);
  WAVEFORMATEX format{};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = (mode & OSND_MODE_STEREO) ? 2 : 1;
  format.nSamplesPerSec = DWORD(std::max(rate, 0));
  format.wBitsPerSample = (mode & OSND_MODE_16BITS) ? 16 : 8;
  format.nBlockAlign = WORD(format.wBitsPerSample * format.nChannels / 8);
  format.nAvgBytesPerSec = format.nBlockAlign * format.nSamplesPerSec;
  DSCBUFFERDESC description{};
  description.dwSize = sizeof description;
  description.dwBufferBytes = DWORD(format.nBlockAlign) * DWORD(std::max(length, 0));
  description.lpwfxFormat = &format;
  gCapture.frameBytes = format.nBlockAlign;
  gCapture.bufferBytes = int(description.dwBufferBytes);
  if (FAILED(gCapture.object->CreateCaptureBuffer(&description, &gCapture.buffer, nullptr))) {
    gCapture.buffer = nullptr;
    return Osnd_Fail(OSND_ERR_RECORD);
  }
  // The thread starts once the buffer it reads exists.
  gCapture.thread = SystemThread_Create("ZIVE DSound record thread", RecordThread, nullptr, 2, 0);
  if (!gCapture.thread) return Osnd_Fail(OSND_ERR_MEMORY);
  return gCapture.buffer->Start(DSCBSTART_LOOPING) == DS_OK;
}

bool OsndRecordDSound_Stop() {
  if (!Available() && !gCapture.thread) return OsndOutputNoSound.recordStop();
  gOsnd.recording = false;
  if (gCapture.thread) {
    SystemThread_CloseThread(gCapture.thread);  // waits for the thread to leave
    gCapture.thread = nullptr;
  }
  if (gCapture.buffer) {
    gCapture.buffer->Stop();
    gCapture.buffer->Release();
  }
  gCapture.buffer = nullptr;
  gCapture.bufferBytes = 0;
  return true;
}

int OsndRecordDSound_Position() {
  if (!Available()) return OsndOutputNoSound.recordPosition();
  if (!gCapture.buffer || gCapture.frameBytes <= 0) return 0;
  DWORD cursor = 0;
  if (FAILED(gCapture.buffer->GetCurrentPosition(&cursor, nullptr))) {
    Osnd_SetError(OSND_ERR_RECORD);
    return -1;
  }
  if (cursor >= DWORD(gCapture.bufferBytes)) return 0;
  return int(cursor) / gCapture.frameBytes;
}

bool OsndRecordDSound_Lock(unsigned offset, unsigned bytes, void **p1, void **p2, unsigned *l1, unsigned *l2) {
  if (!Available()) return OsndOutputNoSound.recordLock(offset, bytes, p1, p2, l1, l2);
  *p1 = *p2 = nullptr;
  *l1 = *l2 = 0;
  if (!gCapture.buffer) return true;
  DWORD b1 = 0, b2 = 0;
  if (FAILED(gCapture.buffer->Lock(offset, bytes, p1, &b1, p2, &b2, 0))) return Osnd_Fail(OSND_ERR_RECORD);
  *l1 = b1;
  *l2 = b2;
  return true;
}

bool OsndRecordDSound_Unlock(void *p1, void *p2, unsigned l1, unsigned l2) {
  if (!Available()) return OsndOutputNoSound.recordUnlock(p1, p2, l1, l2);
  if (!gCapture.buffer) return true;
  return SUCCEEDED(gCapture.buffer->Unlock(p1, l1, p2, l2)) || Osnd_Fail(OSND_ERR_RECORD);
}
