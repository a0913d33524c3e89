#include "sound/src/output/output_winmm.h"

#include "platform/winmm/WinMM.h"
#include "sound/src/output/output_nosound.h"
#include "sound/src/output/output_sample.h"
#include "sound/src/system/system_string.h"
#include "sound/src/system/system_thread.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace {

constexpr int kPieces = 100;
constexpr int kMaxDevices = OSND_MAX_DRIVER_NAMES;

struct RecordHeader {
  WAVEHDR header;
  DWORD word;
};

struct WinMMState {
  HWAVEOUT out = nullptr;
  WAVEHDR outHeader{};
  char *outData = nullptr;
  std::atomic<bool> playing{false};
  // The device's 32-bit byte count, extended to 64 bits.
  uint32_t lastBytes = 0;
  uint64_t wrappedBytes = 0;

  HWAVEIN in = nullptr;
  int recordDriver = 0;
  int frameBytes = 0;
  int pieceBytes = 0;
  uint8_t *ring = nullptr;
  RecordHeader headers[kPieces]{};
  std::atomic<uint32_t> readIndex{0};
  std::atomic<uint32_t> filled{0};
  SystemEventHandle event = nullptr;
  std::atomic<bool> threadRunning{false};
  SystemThreadHandle thread = nullptr;
};

WinMMState gState;

bool Enumerate() {
  const int count = std::min<int>(int(waveOutGetNumDevs()), kMaxDevices);
  gOsnd.numDrivers = 0;
  for (int i = 0; i < count; ++i) {
    WAVEOUTCAPSA caps{};
    if (waveOutGetDevCapsA(UINT_PTR(i), &caps, sizeof caps) != MMSYSERR_NOERROR) continue;
    Osnd_AddDriverName(caps.szPname);
  }
  return true;
}

bool Init(int mixRate) {
  OsndEnumerateDrivers();
  if (gOsnd.numDrivers < 1) return Osnd_Fail(OSND_ERR_INIT);
  WAVEFORMATEX format{};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.wBitsPerSample = 16;
  const bool mono = gOsnd.mixerType == OSND_MIXER_MONO || gOsnd.mixerType == OSND_MIXER_QUALITY_MONO;
  format.nChannels = mono ? 1 : 2;
  format.nSamplesPerSec = DWORD(mixRate);
  format.nBlockAlign = WORD(format.nChannels * 2);
  format.nAvgBytesPerSec = format.nBlockAlign * format.nSamplesPerSec;
  const UINT device = gOsnd.driver < 0 ? WAVE_MAPPER : UINT(gOsnd.driver);
  const MMRESULT result = waveOutOpen(&gState.out, device, &format, 0, 0, CALLBACK_NULL);
  if (result != MMSYSERR_NOERROR) {
    gState.out = nullptr;
    return Osnd_Fail(result == MMSYSERR_ALLOCATED ? 4 : OSND_ERR_INIT);
  }
  OsndOutput_SoftwareOnly(&OsndOutputWinMM);
  return true;
}

bool Close() {
  if (gState.out) waveOutClose(gState.out);
  gState.out = nullptr;
  return true;
}

bool SampleCreate(OSND_SAMPLE *s) {
  const unsigned bytes = OutputSample_Bytes(s);
  auto *data = static_cast<char *>(OSND_ALLOC(int(bytes)));
  if (!data) return Osnd_Fail(OSND_ERR_MEMORY);
  s->driverData = data;
  gState.outData = data;
  WAVEHDR &h = gState.outHeader;
  h = WAVEHDR{};
  h.lpData = data;
  h.dwBufferLength = bytes;
  h.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
  h.dwLoops = 0xFFFFFFFFu;
  if (waveOutPrepareHeader(gState.out, &h, sizeof h) != MMSYSERR_NOERROR) {
    gState.playing = false;
    return Osnd_Fail(OSND_ERR_PLAY);
  }
  return true;
}

void SampleFree(OSND_SAMPLE *s) {
  // The device reads the buffer live: it is returned before the memory goes.
  if (gState.playing && gState.out) waveOutReset(gState.out);
  gState.playing = false;
  if (gState.out) waveOutUnprepareHeader(gState.out, &gState.outHeader, sizeof gState.outHeader);
  if (gState.outData == s->driverData) gState.outData = nullptr;
  OSND_FREE_MEM(s->driverData);
  s->driverData = nullptr;
}

bool FillSampleOps(OSND_SAMPLE *s) {
  OutputSample_SetOps(s, SampleCreate, SampleFree);
  return true;
}

bool ChannelPlay(OSND_DSPUNIT *, OsndChannel *, OSND_SAMPLE *) {
  gState.playing = true;
  gState.lastBytes = 0;
  gState.wrappedBytes = 0;
  if (!gState.out || waveOutWrite(gState.out, &gState.outHeader, sizeof gState.outHeader) != MMSYSERR_NOERROR) {
    gState.playing = false;
    return Osnd_Fail(OSND_ERR_PLAY);
  }
  return true;
}

bool ChannelStop(OsndChannel *) {
  gState.playing = false;
  if (gState.out) waveOutReset(gState.out);
  return true;
}

unsigned GetPosition(OsndChannel *c) {
  if (!c->currentSample || !gState.out) return 0;
  MMTIME time{};
  time.wType = TIME_BYTES;
  waveOutGetPosition(gState.out, &time, sizeof time);
  if (time.u.cb < gState.lastBytes) gState.wrappedBytes += uint64_t(1) << 32;
  gState.lastBytes = time.u.cb;
  uint64_t position = gState.wrappedBytes + time.u.cb;
  if (c->currentSample->mode & OSND_MODE_16BITS) position /= 2;
  if (c->currentSample->mode & OSND_MODE_STEREO) position /= 2;
  return unsigned(position);
}

bool FillChannelOps(OsndChannel *c) {
  OsndChannel_SetDefaultOps(c);
  c->ops.play = ChannelPlay;
  c->ops.stop = ChannelStop;
  c->ops.getPosition = GetPosition;
  return true;
}

// Recording.

bool RecordEnumerate() {
  const int count = std::min<int>(int(waveInGetNumDevs()), kMaxDevices);
  gOsnd.numRecordDrivers = 0;
  for (int i = 0; i < count; ++i) {
    WAVEINCAPSA caps{};
    if (waveInGetDevCapsA(UINT_PTR(i), &caps, sizeof caps) != MMSYSERR_NOERROR) continue;
    Osnd_AddRecordDriverName(caps.szPname);
  }
  return true;
}

bool RecordInit(int driver) {
  gState.recordDriver = driver;
  return true;
}

void RecordCallback(HANDLE, UINT message, DWORD_PTR, DWORD_PTR, DWORD_PTR) {
  if (message == WIM_DATA && gOsnd.recording) {
    ++gState.filled;
    SystemThread_SetEvent(gState.event);
  }
}

unsigned RecordThreadProc(void *) {
  gState.threadRunning = true;
  const int pieceSamples = gState.frameBytes > 0 ? gState.pieceBytes / gState.frameBytes : 0;
  while (gOsnd.recording) {
    SystemThread_WaitEvent(gState.event);
    if (!gOsnd.recording) break;
    while (gState.readIndex < gState.filled && gOsnd.recording) {
      const int piece = int(gState.readIndex % kPieces);
      OsndOutput_PassRecorded(piece * pieceSamples, pieceSamples);
      waveInUnprepareHeader(gState.in, &gState.headers[piece].header, sizeof(WAVEHDR));
      const int previous = piece == 0 ? kPieces - 1 : piece - 1;
      WAVEHDR *h = &gState.headers[previous].header;
      if (!(h->dwFlags & WHDR_INQUEUE)) {
        waveInPrepareHeader(gState.in, h, sizeof(WAVEHDR));
        waveInAddBuffer(gState.in, h, sizeof(WAVEHDR));
      }
      ++gState.readIndex;
    }
  }
  gState.threadRunning = false;
  return 0;
}

bool RecordStop();

bool RecordStart(int length, unsigned mode, int rate) {
  if (length < 1) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  RecordStop();
  WAVEFORMATEX format{};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = (mode & OSND_MODE_MONO) ? 1 : 2;
  format.wBitsPerSample = (mode & OSND_MODE_16BITS) ? 16 : 8;
  format.nSamplesPerSec = DWORD(std::max(rate, 0));
  format.nBlockAlign = WORD(format.wBitsPerSample * format.nChannels / 8);
  format.nAvgBytesPerSec = format.nBlockAlign * format.nSamplesPerSec;
  const MMRESULT result = waveInOpen(&gState.in, UINT(gState.recordDriver), &format,
                                     reinterpret_cast<DWORD_PTR>(&RecordCallback), 0, CALLBACK_FUNCTION);
  if (result != MMSYSERR_NOERROR) {
    gState.in = nullptr;
    return Osnd_Fail(result == MMSYSERR_ALLOCATED ? 4 : result == WAVERR_BADFORMAT ? OSND_ERR_OUTPUT_FORMAT
                                                                                : OSND_ERR_CREATE_BUFFER);
  }
  gState.frameBytes = format.nBlockAlign;
  gState.pieceBytes = rate * 5 / 1000 * format.nBlockAlign;
  gState.ring = static_cast<uint8_t *>(OSND_ALLOC(gState.pieceBytes * kPieces));
  if (!gState.ring || gState.pieceBytes <= 0) {
    RecordStop();
    return Osnd_Fail(OSND_ERR_MEMORY);
  }
  for (int i = 0; i < kPieces; ++i) {
    WAVEHDR &h = gState.headers[i].header;
    h = WAVEHDR{};
    h.lpData = reinterpret_cast<LPSTR>(gState.ring + i * gState.pieceBytes);
    h.dwBufferLength = DWORD(gState.pieceBytes);
    h.dwUser = DWORD_PTR(i);
    if (waveInPrepareHeader(gState.in, &h, sizeof h) != MMSYSERR_NOERROR ||
        waveInAddBuffer(gState.in, &h, sizeof h) != MMSYSERR_NOERROR) {
      RecordStop();
      return Osnd_Fail(OSND_ERR_CREATE_BUFFER);
    }
  }
  gState.readIndex = 0;
  gState.filled = 0;
  gOsnd.recording = true;
  gState.event = SystemThread_CreateEvent();
  if (!gState.event) {
    RecordStop();
    return Osnd_Fail(OSND_ERR_MEMORY);
  }
  gState.thread = SystemThread_Create("ZIVE WinMM record thread", RecordThreadProc, nullptr, 3, 0);
  if (!gState.thread) {
    RecordStop();
    return Osnd_Fail(OSND_ERR_PLAY);
  }
  if (waveInStart(gState.in) != MMSYSERR_NOERROR) {
    RecordStop();
    return Osnd_Fail(OSND_ERR_INIT);
  }
  return true;
}

bool RecordStop() {
  gOsnd.recording = false;
  if (gState.thread) {
    SystemThread_SetEvent(gState.event);
    SystemThread_CloseThread(gState.thread);  // joins
    gState.thread = nullptr;
  }
  gState.threadRunning = false;
  // The device is closed before the event and the ring go: its callback
  // signals the one and fills the other until the close returns.
  if (gState.in) {
    waveInReset(gState.in);
    for (RecordHeader &r : gState.headers) waveInUnprepareHeader(gState.in, &r.header, sizeof(WAVEHDR));
    waveInClose(gState.in);
    gState.in = nullptr;
  }
  if (gState.event) SystemThread_CloseEvent(gState.event);
  gState.event = nullptr;
  OSND_FREE_MEM(gState.ring);
  gState.ring = nullptr;
  gState.frameBytes = 0;
  gState.pieceBytes = 0;
  return true;
}

int RecordPosition() {
  if (gState.frameBytes <= 0) return -1;
  return int(gState.readIndex % kPieces) * gState.pieceBytes / gState.frameBytes;
}

bool RecordLock(unsigned offset, unsigned bytes, void **p1, void **p2, unsigned *l1, unsigned *l2) {
  *p1 = *p2 = nullptr;
  *l1 = *l2 = 0;
  const unsigned size = unsigned(gState.pieceBytes) * kPieces;
  if (!gState.ring || size == 0 || offset >= size || int(bytes) < 0) return false;
  bytes = std::min(bytes, size);
  *p1 = gState.ring + offset;
  if (offset + bytes <= size) {
    *l1 = bytes;
  } else {
    *l1 = size - offset;
    *p2 = gState.ring;
    *l2 = offset + bytes - size;
  }
  return true;
}

bool RecordUnlock(void *, void *, unsigned, unsigned) { return true; }

bool TrueInt(int) { return true; }
void *OutputHandle() { return gState.out; }

}  // namespace

int OutputWinMM_RecordPieceBytes() { return gState.pieceBytes; }
int OutputWinMM_RecordRingBytes() { return gState.pieceBytes * kPieces; }

OsndOutputDriver OsndOutputWinMM = {
    0, 0, 1, Enumerate, Init, Close, FillSampleOps, FillChannelOps, OsndOutput_NoCaps, OutputHandle, TrueInt,
    OsndOutputNoSound.update, OsndOutputNoSound.reverbInit, OsndOutputNoSound.setReverb,
    OsndOutputNoSound.getReverb, RecordEnumerate, RecordInit, RecordStart, RecordStop, RecordPosition,
    RecordLock, RecordUnlock};
