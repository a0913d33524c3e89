// DirectSound capture: the record slots of the DirectSound output. A record
// thread hands what the capture buffer took to the recording core.
#include "sound/src/output/output_dsound_capture.h"

#include "platform/dsound/DSound.h"
#include "platform/win32/WinLibrary.h"
#include "sound/src/output/output_dsound.h"
#include "sound/src/output/output_nosound.h"
#include "sound/src/system/system_thread.h"
#include "sound/src/system/system_time.h"

#include <algorithm>
#include <atomic>

namespace {

using CaptureCreateProc = HRESULT (*)(const GUID *, IDirectSoundCapture **, IUnknown *);
using EnumerateProc = HRESULT (*)(LPDSENUMCALLBACKA, void *);
constexpr int kMaxDevices = 64;

struct CaptureState {
  CaptureCreateProc create = nullptr;
  EnumerateProc enumerate = nullptr;
  GUID guids[kMaxDevices]{};
  bool hasGuid[kMaxDevices]{};
  IDirectSoundCapture *object = nullptr;
  IDirectSoundCaptureBuffer *buffer = nullptr;
  int frameBytes = 0;
  int bufferBytes = 0;
  int ringSamples = 0;  // the capture buffer's length, which is the record sample's
  std::atomic<bool> threadRunning{false};
  SystemThreadHandle thread = nullptr;
};

CaptureState gCapture;

bool Available() { return gCapture.create && gCapture.enumerate; }

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
    if (position >= 0) {
      int delta = position - last;
      if (delta < 0) delta += gCapture.ringSamples;
      const int piece = std::max(1, gCapture.ringSamples);
      for (int start = last; delta > 0 && gOsnd.recording;) {
        const int n = std::min(delta, piece);
        OsndOutput_PassRecorded(start, n);
        start = gCapture.ringSamples > 0 ? (start + n) % gCapture.ringSamples : 0;
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
  gCapture.ringSamples = std::max(length, 0);
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
