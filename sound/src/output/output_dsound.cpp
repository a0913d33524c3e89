#include "sound/src/output/output_dsound.h"

#include "platform/dsound/DSound.h"
#include "platform/win32/WinLibrary.h"
#include "platform/win32/WinWindow.h"
#include "sound/src/channel/osnd_3d.h"
#include "sound/src/channel/osnd_sample.h"
#include "sound/src/output/output_dsound_capture.h"
#include "sound/src/output/output_dsound_eax.h"
#include "sound/src/output/output_nosound.h"
#include "sound/src/system/system_string.h"
#include "sound/src/system/system_thread.h"

#include <algorithm>
#include <cstring>

const int32_t OsndVolumeTable[256] = {
    -10000, -7678, -6830, -6299, -5912, -5607, -5356, -5142, -4955, -4790, -4642, -4508, -4385, -4272, -4167, -4069,
    -3977, -3891, -3810, -3733, -3660, -3590, -3524, -3460, -3400, -3341, -3285, -3231, -3179, -3129, -3081, -3034,
    -2988, -2944, -2901, -2860, -2820, -2780, -2742, -2705, -2669, -2633, -2599, -2565, -2532, -2500, -2468, -2437,
    -2407, -2377, -2348, -2320, -2292, -2265, -2238, -2212, -2186, -2160, -2135, -2111, -2087, -2063, -2039, -2017,
    -1994, -1972, -1950, -1928, -1907, -1886, -1865, -1845, -1825, -1805, -1785, -1766, -1747, -1728, -1709, -1691,
    -1673, -1655, -1638, -1620, -1603, -1586, -1569, -1552, -1536, -1520, -1504, -1488, -1472, -1456, -1441, -1426,
    -1411, -1396, -1381, -1367, -1352, -1338, -1324, -1310, -1296, -1282, -1268, -1255, -1241, -1228, -1215, -1202,
    -1189, -1176, -1163, -1151, -1138, -1126, -1114, -1102, -1090, -1078, -1066, -1054, -1042, -1031, -1019, -1008,
    -997, -985, -974, -963, -952, -942, -931, -920, -909, -899, -888, -878, -868, -857, -847, -837,
    -827, -817, -807, -797, -788, -778, -768, -759, -749, -740, -730, -721, -712, -703, -693, -684,
    -675, -666, -657, -649, -640, -631, -622, -614, -605, -596, -588, -580, -571, -563, -554, -546,
    -538, -530, -522, -514, -506, -498, -490, -482, -474, -466, -458, -451, -443, -435, -428, -420,
    -413, -405, -398, -390, -383, -376, -368, -361, -354, -347, -340, -332, -325, -318, -311, -304,
    -297, -290, -284, -277, -270, -263, -256, -250, -243, -236, -230, -223, -217, -210, -203, -197,
    -191, -184, -178, -171, -165, -159, -152, -146, -140, -134, -128, -121, -115, -109, -103, -97,
    -91, -85, -79, -73, -67, -61, -56, -50, -44, -38, -32, -27, -21, -14, -5, 0};

namespace {

using CreateProc = HRESULT (*)(const GUID *, IDirectSound8 **, IUnknown *);
using EnumerateProc = HRESULT (*)(LPDSENUMCALLBACKA, void *);

constexpr unsigned kInitDeferred3d = 0x800;
constexpr unsigned kInit3dAlgorithms = 0x3000;
constexpr int kMaxDevices = 64;

struct DsSample {
  IDirectSoundBuffer *buffer;
  IDirectSoundBuffer8 *buffer8;
  IDirectSound3DBuffer *buffer3d;
};

struct DSoundState {
  HMODULE module = nullptr;
  HMODULE module3d = nullptr;
  CreateProc create8 = nullptr;
  CreateProc create = nullptr;
  EnumerateProc enumerate = nullptr;
  int directXVersion = 3;
  bool versionKnown = false;
  IDirectSound8 *object = nullptr;
  IDirectSound3DListener *listener = nullptr;
  bool com = false;
  int hwMinFrequency = 100;
  int hwMaxFrequency = 705600;
  bool software3d = false;
  GUID guids[kMaxDevices]{};
  bool hasGuid[kMaxDevices]{};
  SystemCriticalSection lock = nullptr;
};

DSoundState gDs;

DsSample *SampleOf(const OSND_SAMPLE *s) { return static_cast<DsSample *>(s->driverData); }
OsndDsChannel *ChannelOf(const OsndChannel *c) { return static_cast<OsndDsChannel *>(c->driverChannel); }

bool Load() {
  if (gDs.module) return true;
  gDs.module = LoadLibraryA("dsound.dll");
  if (!gDs.module) return false;
  if (gOsnd.initFlags & kInit3dAlgorithms) gDs.module3d = LoadLibraryA("dsound3d.dll");
  gDs.create8 = reinterpret_cast<CreateProc>(GetProcAddress(gDs.module, "DirectSoundCreate8"));
  if (!gDs.create8) gDs.create = reinterpret_cast<CreateProc>(GetProcAddress(gDs.module, "DirectSoundCreate"));
  gDs.enumerate = reinterpret_cast<EnumerateProc>(GetProcAddress(gDs.module, "DirectSoundEnumerateA"));
  OutputDSound_LoadCapture(gDs.module, gDs.create8 != nullptr);
  if (!gDs.versionKnown) {
    gDs.versionKnown = true;
    if (gDs.create8) {
      gDs.directXVersion = 8;
      // The newest version goes with the 3D graphics library of its generation.
      if (HMODULE d3d9 = LoadLibraryA("d3d9.dll")) {
        gDs.directXVersion = 9;
        FreeLibrary(d3d9);
      }
    } else if (HMODULE ddraw = LoadLibraryA("ddraw.dll")) {
      if (GetProcAddress(ddraw, "DirectDrawCreateEx")) gDs.directXVersion = 7;
      FreeLibrary(ddraw);
    }
  }
  return true;
}

void Unload() {
  if (gDs.module3d) FreeLibrary(gDs.module3d);
  if (gDs.module) FreeLibrary(gDs.module);
  gDs.module3d = gDs.module = nullptr;
  gDs.create8 = gDs.create = nullptr;
  gDs.enumerate = nullptr;
}

BOOL EnumerateCallback(GUID *guid, LPCSTR description, LPCSTR, void *) {
  if (gOsnd.numDrivers < kMaxDevices) {
    const int i = Osnd_AddDriverName(description);
    gDs.hasGuid[i] = guid != nullptr;
    gDs.guids[i] = guid ? *guid : GUID{};
  }
  return TRUE;
}

bool Enumerate() {
  if (!Load() || !gDs.enumerate) return true;
  gDs.enumerate(EnumerateCallback, nullptr);
  return true;
}

HWND Window() { return GetForegroundWindow(); }

void DestroyLock() {
  if (gDs.lock) SystemThread_DeleteCriticalSection(gDs.lock);
  gDs.lock = nullptr;
}

bool CreateObject(int driver, IDirectSound8 **object) {
  const GUID *device = (driver >= 0 && driver < gOsnd.numDrivers && gDs.hasGuid[driver]) ? &gDs.guids[driver] : nullptr;
  CreateProc create = gDs.create8 ? gDs.create8 : gDs.create;
  return create && SUCCEEDED(create(device, object, nullptr));
}

// Whether the device's hardware 3D buffers are real, for interfaces before
// version 8: one is made, and hardware stays on only when the free count the
// device reports has not moved. A probe that cannot make its buffer answers
// no and leaves no error behind.
bool HardwareBufferProbe() {
  DSCAPS caps{};
  caps.dwSize = sizeof caps;
  gDs.object->GetCaps(&caps);
  const DWORD freeBefore = caps.dwFreeHw3DStreamingBuffers;
  // The create slot makes a 3D buffer only while the device has 3D channels.
  gOsnd.hardware3dChannels = int(freeBefore);
  const int error = gOsndError.lastError;
  constexpr unsigned kProbeMode = OSND_MODE_HW3D | OSND_MODE_MONO | OSND_MODE_16BITS | OSND_MODE_LOOP_NORMAL;
  OSND_SAMPLE *probe = OsndSample_Create(-2, 256, kProbeMode, 44100, 255, 128, 255, 1);
  gOsndError.lastError = error;
  if (!probe) return false;
  gDs.object->GetCaps(&caps);
  OsndSample_Destroy(probe);
  return caps.dwFreeHw3DStreamingBuffers == freeBefore;
}

bool Init(int mixRate) {
  Load();
  gDs.lock = SystemThread_CreateCriticalSection(true);
  gOsnd.driversEnumerated = 0;
  OsndEnumerateDrivers();
  auto failed = [](int code) {
    if (gDs.object) gDs.object->Release();
    gDs.object = nullptr;
    OutputDSound_CloseCapture();
    Unload();  // the next init loads the library afresh
    DestroyLock();
    return Osnd_Fail(code);
  };
  if (gOsnd.numDrivers == 0) return failed(OSND_ERR_INIT);
  gDs.com = true;  // COM needs no set-up here
  if (!gDs.create8 && !gDs.create) return failed(OSND_ERR_INIT);
  if (!CreateObject(gOsnd.driver, &gDs.object)) return failed(OSND_ERR_INIT);
  if (FAILED(gDs.object->SetCooperativeLevel(Window(), DSSCL_PRIORITY))) return failed(OSND_ERR_COOPERATIVE);

  DSCAPS caps{};
  caps.dwSize = sizeof caps;
  gDs.object->GetCaps(&caps);
  const bool emulated = (caps.dwFlags & DSCAPS_EMULDRIVER) != 0;
  if (caps.dwMaxHw3DAllBuffers == 0 || caps.dwMaxHw3DAllBuffers > 200 || emulated) OsndOutputDSound.hardware3d = 0;
  if (emulated) gOsnd.emulatedOutput = 1;
  gDs.hwMinFrequency = int(caps.dwMinSecondarySampleRate);
  gDs.hwMaxFrequency = int(caps.dwMaxSecondarySampleRate);
  if (gDs.directXVersion < 8 && OsndOutputDSound.hardware3d)
    OsndOutputDSound.hardware3d = HardwareBufferProbe() ? 1 : 0;

  gOsnd.hardware2dChannels = 32;
  gOsnd.hardware3dChannels = int(caps.dwFreeHw3DStreamingBuffers);
  gOsnd.extraChannels = OSND_EXTRA_CHANNELS;
  gDs.software3d = gOsnd.hardware3dChannels == 0;
  if (!OsndOutputDSound.hardware3d) gOsnd.hardware3dChannels = 0;
  if (!OsndOutputDSound.hardware2d) gOsnd.hardware2dChannels = 0;
  if (gDs.software3d) {
    gOsnd.hardware3dChannels = 32;
    gDs.hwMinFrequency = 100;
    gDs.hwMaxFrequency = 705600;
  }

  DSBUFFERDESC description{};
  description.dwSize = gDs.directXVersion >= 8 ? 36 : 20;
  description.dwFlags = DSBCAPS_PRIMARYBUFFER | (gOsnd.hardware3dChannels > 0 ? DSBCAPS_CTRL3D : 0);
  IDirectSoundBuffer *primary = nullptr;
  if (FAILED(gDs.object->CreateSoundBuffer(&description, &primary, nullptr))) return failed(OSND_ERR_CREATE_BUFFER);
  WAVEFORMATEX format{};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = 2;
  format.nSamplesPerSec = DWORD(mixRate);
  format.wBitsPerSample = 16;
  format.nBlockAlign = 4;
  format.nAvgBytesPerSec = DWORD(mixRate) * 4;
  if (FAILED(primary->SetFormat(&format))) {
    primary->Release();
    return failed(OSND_ERR_OUTPUT_FORMAT);
  }
  if (gOsnd.hardware3dChannels > 0)
    primary->QueryInterface(IID_IDirectSound3DListener, reinterpret_cast<void **>(&gDs.listener));
  primary->Release();
  return true;
}

bool Close() {
  if (!gDs.object) return true;
  // Recording and reverb end first: the reverb frees its sample, whose free
  // slot takes the driver's lock itself, after the sample table's.
  OsndOutputDSound.recordStop();
  OutputDSound_CloseCapture();
  OsndEax_Shutdown();
  {
    SystemLockGuard guard(gDs.lock);
    if (gDs.listener) gDs.listener->Release();
    gDs.listener = nullptr;
    gDs.object->Release();
    gDs.object = nullptr;
    Unload();
  }
  DestroyLock();
  OsndOutputDSound.hardware3d = 0;
  OsndOutputDSound.hardware2d = 0;
  return true;
}

// Sample operations.

DWORD LocationFlags(const OSND_SAMPLE *s) {
  if (gDs.directXVersion < 7) return 0;
  if ((s->mode & OSND_MODE_ONE_INSTANCE) && (s->mode & OSND_MODE_HW2D)) return 0;
  return ((s->mode & OSND_MODE_HW2D) || gDs.software3d) ? DSBPLAY_LOCSOFTWARE : DSBPLAY_LOCHARDWARE;
}

unsigned ByteSize(const OSND_SAMPLE *s) {
  unsigned bytes = s->length;
  if (s->mode & OSND_MODE_16BITS) bytes *= 2;
  if (s->mode & OSND_MODE_STEREO) bytes *= 2;
  return bytes;
}

void ReleaseSample(DsSample *d) {
  if (d->buffer3d) d->buffer3d->Release();
  if (d->buffer8) d->buffer8->Release();
  if (d->buffer) d->buffer->Release();
  d->buffer3d = nullptr;
  d->buffer8 = nullptr;
  d->buffer = nullptr;
}

void SampleFree(OSND_SAMPLE *s) {
  SystemLockGuard guard(gDs.lock);
  if (DsSample *d = SampleOf(s)) {
    ReleaseSample(d);
    OSND_FREE_MEM(d);
  }
  s->driverData = nullptr;
}

bool SampleCreate(OSND_SAMPLE *s) {
  SystemLockGuard guard(gDs.lock);
  if (s->mode & OSND_MODE_MULTICHANNEL) return Osnd_Fail(OSND_ERR_CREATE_BUFFER);
  if (!gDs.object) return Osnd_Fail(OSND_ERR_CREATE_BUFFER);
  if (!SampleOf(s)) {
    s->driverData = OSND_ALLOC(int(sizeof(DsSample)));
    if (!s->driverData) return Osnd_Fail(OSND_ERR_MEMORY);
  }
  DsSample *d = SampleOf(s);
  ReleaseSample(d);
  const bool sixteen = (s->mode & OSND_MODE_16BITS) != 0;
  WAVEFORMATEX format{};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = (s->mode & OSND_MODE_MONO) ? 1 : 2;
  format.nSamplesPerSec = DWORD(std::max(s->defFrequency, 1));
  format.wBitsPerSample = sixteen ? 16 : 8;
  format.nBlockAlign = WORD(format.nChannels * format.wBitsPerSample / 8);
  format.nAvgBytesPerSec = format.nBlockAlign * format.nSamplesPerSec;

  DSBUFFERDESC description{};
  description.dwSize = gDs.directXVersion >= 7 ? 36 : 20;
  DWORD flags = DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLFREQUENCY;
  if ((gOsnd.initFlags & OSND_INIT_DSOUND_FLAG) || !Window()) flags |= DSBCAPS_GLOBALFOCUS;
  const bool is3d = gOsnd.hardware3dChannels > 0 && (s->mode & OSND_MODE_HW3D);
  const bool eax = s == OsndEax_Sample();
  if (is3d) {
    flags |= DSBCAPS_CTRL3D;
    if (eax) flags |= gDs.software3d ? DSBCAPS_LOCSOFTWARE : DSBCAPS_LOCHARDWARE;
  } else {
    flags |= DSBCAPS_CTRLPAN;
    if (s->mode & OSND_MODE_ONE_INSTANCE) flags |= DSBCAPS_STATIC;
  }
  if (gDs.directXVersion >= 7 && ((is3d && !eax) || (!is3d && !(s->mode & OSND_MODE_ONE_INSTANCE))))
    flags |= DSBCAPS_LOCDEFER;
  if (gDs.directXVersion >= 8 && (s->mode & OSND_MODE_ENABLE_FX)) {
    flags |= DSBCAPS_CTRLFX;
    if (gDs.directXVersion < 9) flags &= ~DSBCAPS_CTRLFREQUENCY;
  }
  description.dwFlags = flags;
  description.dwBufferBytes = ByteSize(s);
  description.lpwfxFormat = &format;
  // The head-related algorithms of software 3D: the full or the light one.
  if (is3d && gDs.software3d) {
    if (gOsnd.initFlags & 0x2000)
      description.guid3DAlgorithm = {0xC2413340, 0x1C1B, 0x11D2, {0x94, 0xF5, 0x00, 0xC0, 0x4F, 0xC2, 0x8A, 0xCA}};
    else if (gOsnd.initFlags & 0x1000)
      description.guid3DAlgorithm = {0xC2413342, 0x1C1B, 0x11D2, {0x94, 0xF5, 0x00, 0xC0, 0x4F, 0xC2, 0x8A, 0xCA}};
  }
  if (FAILED(gDs.object->CreateSoundBuffer(&description, &d->buffer, nullptr))) {
    d->buffer = nullptr;
    return Osnd_Fail(OSND_ERR_CREATE_BUFFER);
  }
  if ((s->mode & OSND_MODE_HW3D) && (s->mode & OSND_MODE_ONE_INSTANCE) &&
      FAILED(d->buffer->QueryInterface(IID_IDirectSound3DBuffer, reinterpret_cast<void **>(&d->buffer3d)))) {
    ReleaseSample(d);
    return Osnd_Fail(OSND_ERR_CREATE_BUFFER);
  }
  if (gDs.directXVersion >= 8) d->buffer->QueryInterface(IID_IDirectSoundBuffer8, reinterpret_cast<void **>(&d->buffer8));

  void *p1 = nullptr, *p2 = nullptr;
  DWORD l1 = 0, l2 = 0;
  if (SUCCEEDED(d->buffer->Lock(0, description.dwBufferBytes, &p1, &l1, &p2, &l2, 0))) {
    const int silence = sixteen ? 0 : 0x80;
    if (p1) std::memset(p1, silence, l1);
    if (p2) std::memset(p2, silence, l2);
    d->buffer->Unlock(p1, l1, p2, l2);
  }
  s->mode = (s->mode & ~OSND_MODE_UNSIGNED) | OSND_MODE_SIGNED;
  d->buffer->SetCurrentPosition(0);
  return true;
}

bool SampleLock(OSND_SAMPLE *s, unsigned offset, unsigned length, void **p1, void **p2, unsigned *l1, unsigned *l2) {
  *p1 = *p2 = nullptr;
  *l1 = *l2 = 0;
  DsSample *d = SampleOf(s);
  if (!d || !d->buffer) return Osnd_Fail(OSND_ERR_MEMORY);
  DWORD b1 = 0, b2 = 0;
  HRESULT result = d->buffer->Lock(offset, length, p1, &b1, p2, &b2, 0);
  if (result == DSERR_BUFFERLOST) {
    d->buffer->Restore();
    d->buffer->Play(0, 0, DSBPLAY_LOOPING | LocationFlags(s));
    result = d->buffer->Lock(offset, length, p1, &b1, p2, &b2, 0);
  }
  if (FAILED(result)) {
    *p1 = *p2 = nullptr;
    return false;
  }
  *l1 = b1;
  *l2 = b2;
  return true;
}

bool SampleUnlock(OSND_SAMPLE *s, void *p1, void *p2, unsigned l1, unsigned l2) {
  DsSample *d = SampleOf(s);
  if (!d || !d->buffer) return Osnd_Fail(OSND_ERR_MEMORY);
  // The engine holds 8-bit data signed; an 8-bit buffer plays it unsigned.
  if (s->mode & OSND_MODE_8BITS) {
    for (unsigned i = 0; p1 && i < l1; ++i) static_cast<uint8_t *>(p1)[i] ^= 0x80;
    for (unsigned i = 0; p2 && i < l2; ++i) static_cast<uint8_t *>(p2)[i] ^= 0x80;
  }
  return SUCCEEDED(d->buffer->Unlock(p1, l1, p2, l2));
}

bool FillSampleOps(OSND_SAMPLE *s) {
  s->ops.create = SampleCreate;
  s->ops.release = SampleFree;
  s->ops.upload = nullptr;
  s->ops.lock = SampleLock;
  s->ops.unlock = SampleUnlock;
  return true;
}

// Channel operations.

bool OwnBuffer(const OsndChannel *c) {
  return c->currentSample && (c->currentSample->mode & OSND_MODE_ONE_INSTANCE);
}

bool ChannelInit(OsndChannel *c) {
  if (!c->driverChannel) {
    c->driverChannel = OSND_ALLOC(int(sizeof(OsndDsChannel)));
    if (!c->driverChannel) return Osnd_Fail(OSND_ERR_MEMORY);
  }
  ChannelOf(c)->sentPan = -2;
  return true;
}

void ReleaseBuffers(OsndChannel *c) {
  OsndDsChannel *d = ChannelOf(c);
  if (!d) return;
  OsndEax_ReleaseChannel(c);
  OutputDSound_DisableEffects(c);
  const bool own = OwnBuffer(c) || (c->driverSample && (c->driverSample->mode & OSND_MODE_ONE_INSTANCE));
  if (d->buffer3d) d->buffer3d->Release();
  if (d->buffer) d->buffer->Release();
  (void)own;
  d->buffer3d = nullptr;
  d->buffer = nullptr;
  d->sentPan = -2;
}

bool ChannelStop(OsndChannel *c) {
  SystemLockGuard guard(gDs.lock);
  OsndDsChannel *d = ChannelOf(c);
  if (d && d->buffer) {
    d->buffer->Stop();
    d->buffer->SetCurrentPosition(0);
  }
  ReleaseBuffers(c);
  c->flags &= ~OSND_CHANFLAG_PENDING;
  return true;
}

bool ChannelRelease(OsndChannel *c) {
  ChannelStop(c);
  OSND_FREE_MEM(c->driverChannel);
  c->driverChannel = nullptr;
  return true;
}

bool ChannelStart(OsndChannel *c, OSND_SAMPLE *s) {
  ChannelStop(c);
  SystemLockGuard guard(gDs.lock);
  OsndDsChannel *d = ChannelOf(c);
  DsSample *ds = SampleOf(s);
  c->driverSample = s;
  if (!d || !ds || !ds->buffer || !gDs.object) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  // A one-instance sample plays on its own buffer; every other channel on a
  // duplicate. The channel holds a reference either way.
  if (s->mode & OSND_MODE_ONE_INSTANCE) {
    d->buffer = ds->buffer;
    d->buffer->AddRef();
  } else if (FAILED(gDs.object->DuplicateSoundBuffer(ds->buffer, &d->buffer))) {
    d->buffer = nullptr;
    return Osnd_Fail(OSND_ERR_PLAY);
  }
  if (gOsnd.hardware3dChannels > 0 && (s->mode & OSND_MODE_HW3D)) {
    if ((s->mode & OSND_MODE_ONE_INSTANCE) && ds->buffer3d) {
      d->buffer3d = ds->buffer3d;
      d->buffer3d->AddRef();
    } else if (FAILED(d->buffer->QueryInterface(IID_IDirectSound3DBuffer, reinterpret_cast<void **>(&d->buffer3d)))) {
      d->buffer3d = nullptr;
      return Osnd_Fail(OSND_ERR_PLAY);
    }
  }
  return true;
}

HRESULT PlayBufferResult(OsndChannel *c) {
  OsndDsChannel *d = ChannelOf(c);
  const bool looping = (c->mode & (OSND_MODE_LOOP_NORMAL | OSND_MODE_LOOP_BIDI)) != 0;
  const OSND_SAMPLE *s = c->driverSample ? c->driverSample : c->currentSample;
  return d->buffer->Play(0, 0, (looping ? DSBPLAY_LOOPING : 0) | (s ? LocationFlags(s) : 0));
}

bool PlayBuffer(OsndChannel *c) { return SUCCEEDED(PlayBufferResult(c)); }

bool ChannelPlay(OSND_DSPUNIT *, OsndChannel *c, OSND_SAMPLE *) {
  SystemLockGuard guard(gDs.lock);
  OsndDsChannel *d = ChannelOf(c);
  if (!d || !d->buffer) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  if ((gOsnd.initFlags & kInitDeferred3d) && gDs.listener) gDs.listener->CommitDeferredSettings();
  if (c->flags & OSND_CHANFLAG_PAUSED) {
    c->flags |= OSND_CHANFLAG_PENDING;
    return true;
  }
  if (!PlayBuffer(c)) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  return true;
}

bool IsEffectBuffer(const OsndChannel *c) {
  const OSND_SAMPLE *s = c->driverSample;
  return s && (s->mode & OSND_MODE_ENABLE_FX);
}

bool SetFrequency(OsndChannel *c, int hz) {
  SystemLockGuard guard(gDs.lock);
  OsndDsChannel *d = ChannelOf(c);
  if (IsEffectBuffer(c) && gDs.directXVersion < 9) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  if (!d || !d->buffer) return true;
  if (c->driverSample && (c->driverSample->mode & OSND_MODE_HW3D)) hz = std::clamp(hz, gDs.hwMinFrequency, gDs.hwMaxFrequency);
  if (hz < 0 || FAILED(d->buffer->SetFrequency(DWORD(hz)))) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  return true;
}

bool SetFrequencyFloat(OsndChannel *c, float hz) {
  SystemLockGuard guard(gDs.lock);
  OsndDsChannel *d = ChannelOf(c);
  if (!d || !d->buffer || IsEffectBuffer(c)) return true;
  const double rounded = std::clamp(double(hz) + 0.5, 100.0, 705600.0);
  d->buffer->SetFrequency(DWORD(rounded));
  return true;
}

bool SetVolume(OsndChannel *c, int volume) {
  SystemLockGuard guard(gDs.lock);
  OsndDsChannel *d = ChannelOf(c);
  if (c->flags & OSND_CHANFLAG_MUTED) volume = 0;
  volume = std::clamp(volume, 0, 255);
  if (d && d->buffer) d->buffer->SetVolume(OsndVolumeTable[volume]);
  return true;
}

bool SetPan(OsndChannel *c, int pan) {
  OsndDsChannel *d = ChannelOf(c);
  if (pan == -1) pan = 128;
  pan = std::clamp(pan, 0, 255);
  if (d && d->buffer3d) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  // Compared with what the buffer was last given: the channel's own pan field
  // already holds the new value when this slot runs.
  if (!d || !d->buffer || pan == d->sentPan) return true;
  const LONG value = pan < 128 ? OsndVolumeTable[2 * pan] : -OsndVolumeTable[2 * (255 - pan)];
  d->buffer->SetPan(value);
  d->sentPan = pan;
  return true;
}

bool SetPosition(OsndChannel *c, unsigned samples) {
  OsndDsChannel *d = ChannelOf(c);
  const OSND_SAMPLE *s = c->driverSample;
  if (!d || !d->buffer || !s) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  DWORD bytes = samples;
  if (s->mode & OSND_MODE_16BITS) bytes *= 2;
  if (s->mode & OSND_MODE_STEREO) bytes *= 2;
  if (FAILED(d->buffer->SetCurrentPosition(bytes))) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  return true;
}

unsigned GetPosition(OsndChannel *c) {
  OsndDsChannel *d = ChannelOf(c);
  const OSND_SAMPLE *s = c->driverSample;
  if (!d || !d->buffer || !s) {
    Osnd_SetError(OSND_ERR_INVALID_PARAM);
    return 0;
  }
  DWORD play = 0;
  if (FAILED(d->buffer->GetCurrentPosition(&play, nullptr))) return 0;
  if (s->mode & OSND_MODE_16BITS) play /= 2;
  if (s->mode & OSND_MODE_STEREO) play /= 2;
  return play;
}

bool IsPlaying(OsndChannel *c) {
  SystemLockGuard guard(gDs.lock);
  OsndDsChannel *d = ChannelOf(c);
  if (!d || !d->buffer) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  if (c->flags & (OSND_CHANFLAG_PENDING | OSND_CHANFLAG_PAUSED)) return true;
  DWORD status = 0;
  return SUCCEEDED(d->buffer->GetStatus(&status)) && (status & DSBSTATUS_PLAYING);
}

bool SetPaused(OsndChannel *c, bool pause) {
  OsndDsChannel *d = ChannelOf(c);
  if (!d || !d->buffer) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  if (pause) {
    if (!IsPlaying(c)) return false;
    DWORD status = 0;
    d->buffer->GetStatus(&status);
    if (status & DSBSTATUS_PLAYING) c->flags |= OSND_CHANFLAG_PENDING;
    const HRESULT stopped = d->buffer->Stop();
    if (FAILED(stopped)) return Osnd_Fail(stopped == E_OUTOFMEMORY ? OSND_ERR_MEMORY : OSND_ERR_INVALID_PARAM);
    return true;
  }
  const bool resume = (c->flags & OSND_CHANFLAG_PAUSED) && (c->flags & OSND_CHANFLAG_PENDING);
  HRESULT result = resume ? PlayBufferResult(c) : DS_OK;
  c->flags &= ~OSND_CHANFLAG_PENDING;
  // A buffer with effects may not start although Play answered: its status
  // says whether it plays.
  if (resume && SUCCEEDED(result) && IsEffectBuffer(c)) {
    DWORD status = 0;
    result = d->buffer->GetStatus(&status);
    if (SUCCEEDED(result) && !(status & DSBSTATUS_PLAYING)) result = DSERR_GENERIC;
  }
  // Out of memory (no voice left on the device) is said as such.
  if (FAILED(result)) return Osnd_Fail(result == E_OUTOFMEMORY ? OSND_ERR_MEMORY : OSND_ERR_INVALID_PARAM);
  return true;
}

bool Set3D(OsndChannel *c) {
  SystemLockGuard guard(gDs.lock);
  OsndDsChannel *d = ChannelOf(c);
  if (!d || !d->buffer3d) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  DS3DBUFFER p{};
  p.dwSize = sizeof p;
  d->buffer3d->GetAllParameters(&p);
  const bool paused = (c->flags & OSND_CHANFLAG_PAUSED) != 0;
  if (gOsnd3d.listenerCount == 1) {
    p.vPosition = {c->position3d[0], c->position3d[1], c->position3d[2]};
    p.vVelocity = {c->velocity3d[0], c->velocity3d[1], c->velocity3d[2]};
  } else {
    p.vVelocity = {0, 0, 0};
    if (paused) p.vPosition = {0, 0, Osnd3d_NearestListenerDistance(c)};
  }
  p.flMinDistance = c->minDistance;
  p.flMaxDistance = c->maxDistance;
  d->buffer3d->SetAllParameters(&p, (gOsnd.initFlags & kInitDeferred3d) ? DS3D_DEFERRED : DS3D_IMMEDIATE);
  if (paused) Osnd3d_UpdateChannel(c, true);
  return true;
}

bool FillChannelOps(OsndChannel *c) {
  OsndChannel_SetDefaultOps(c);
  OsndChannelOps &o = c->ops;
  o.init = ChannelInit;
  o.release = ChannelRelease;
  o.start = ChannelStart;
  o.play = ChannelPlay;
  o.stop = ChannelStop;
  o.setFrequency = SetFrequency;
  o.setFrequencyFloat = SetFrequencyFloat;
  o.setVolume = SetVolume;
  o.setPan = SetPan;
  o.setPaused = SetPaused;
  o.setPosition = SetPosition;
  o.getPosition = GetPosition;
  o.isPlaying = IsPlaying;
  o.update3D = Set3D;
  return true;
}

// The listener, once per update.
bool Update() {
  if (!gDs.listener) return true;
  SystemLockGuard guard(gDs.lock);
  DS3DLISTENER l{};
  l.dwSize = sizeof l;
  l.flDistanceFactor = gOsnd3d.distanceFactor;
  l.flRolloffFactor = gOsnd3d.rolloffFactor;
  l.flDopplerFactor = gOsnd3d.dopplerFactor;
  if (gOsnd3d.listenerCount == 1) {
    const Osnd3dListener &one = gOsnd3d.listeners[0];
    l.vPosition = {one.position[0], one.position[1], one.position[2]};
    l.vVelocity = {one.position[0] - one.previous[0], one.position[1] - one.previous[1], one.position[2] - one.previous[2]};
    l.vOrientFront = {one.front[0], one.front[1], one.front[2]};
    l.vOrientTop = {one.top[0], one.top[1], one.top[2]};
  } else {
    l.vOrientFront = {0, 0, 1};
    l.vOrientTop = {0, 1, 0};
    for (int i = 0; i < gOsnd.channelCount; ++i) {
      OsndDsChannel *d = ChannelOf(&gOsnd.channels[i]);
      if (d && d->buffer3d && gOsnd.channels[i].ops.update3D == Set3D)
        d->buffer3d->SetPosition(0, 0, Osnd3d_NearestListenerDistance(&gOsnd.channels[i]), DS3D_IMMEDIATE);
    }
  }
  const bool deferred = (gOsnd.initFlags & kInitDeferred3d) != 0;
  gDs.listener->SetAllParameters(&l, deferred ? DS3D_DEFERRED : DS3D_IMMEDIATE);
  for (int i = 0; i < gOsnd.channelCount; ++i) Osnd3d_UpdateChannel(&gOsnd.channels[i], true);
  if (deferred) gDs.listener->CommitDeferredSettings();
  return true;
}

void *OutputHandle() { return gDs.object; }

// What the device at the driver index offers, read on a DirectSound object of
// its own that the close slot ends again: hardware 3D buffers (bit 1) when the
// device has 1 to 128 of them free and is not emulated, then EAX 3.0 (16) or
// else EAX 2.0 (2) on them. A running driver is not asked: the close would
// end its object.
bool GetCaps(unsigned *bits, int driver) {
  if (bits) *bits = 0;
  if (gDs.object) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  Load();
  if (!gDs.lock) gDs.lock = SystemThread_CreateCriticalSection(true);
  Enumerate();
  if (!CreateObject(driver, &gDs.object)) {
    Unload();
    DestroyLock();
    return Osnd_Fail(OSND_ERR_INIT);
  }
  gDs.object->SetCooperativeLevel(Window(), DSSCL_PRIORITY);
  DSCAPS caps{};
  caps.dwSize = sizeof caps;
  gDs.object->GetCaps(&caps);
  gOsnd.hardware3dChannels = int(caps.dwFreeHw3DStreamingBuffers);
  unsigned result = 0;
  if (caps.dwMaxHw3DAllBuffers >= 1 && caps.dwMaxHw3DAllBuffers <= 128 && !(caps.dwFlags & DSCAPS_EMULDRIVER) &&
      gOsnd.hardware3dChannels != 0) {
    OsndOutputDSound.hardware3d = 1;
    result |= 1;
    // The reverb's probe makes a sample through this driver's slots.
    if (gOsnd.output == &OsndOutputDSound) {
      if (OsndEax_Init(3)) {
        result |= 16;
        OsndEax_Close(3);
      } else if (OsndEax_Init(2)) {
        result |= 2;
        OsndEax_Close(2);
      }
    }
  }
  Close();
  if (bits) *bits = result;
  return true;
}

bool SetSpeakerMode(int mode) {
  if (!gDs.object) return true;
  const DWORD config = (mode >= 1 && mode <= 5) ? DWORD(mode) : DSSPEAKER_5POINT1;
  gDs.object->SetSpeakerConfig(config);
  return true;
}

}  // namespace

IDirectSound8 *OutputDSound_Object() { return gDs.object; }
int OutputDSound_DirectXVersion() { return gDs.directXVersion; }
bool OutputDSound_Software3D() { return gDs.software3d; }
void *OutputDSound_Lock() { return gDs.lock; }

// The DirectX 8 effects of a channel.
int OutputDSound_EnableEffect(OsndChannel *c, int type) {
  OsndDsChannel *d = ChannelOf(c);
  if (!d || !d->buffer) {
    Osnd_SetError(OSND_ERR_INVALID_PARAM);
    return -1;
  }
  if (d->effectCount >= 16) {
    Osnd_SetError(OSND_ERR_MEMORY);
    return -1;
  }
  if (type < 0 || type > 8) {
    Osnd_SetError(OSND_ERR_INVALID_PARAM);
    return -1;
  }
  IDirectSoundBuffer8 *b8 = nullptr;
  if (FAILED(d->buffer->QueryInterface(IID_IDirectSoundBuffer8, reinterpret_cast<void **>(&b8)))) {
    Osnd_SetError(OSND_ERR_CREATE_BUFFER);
    return -1;
  }
  const int index = d->effectCount;
  d->effectTypes[index] = uint8_t(type);
  DSEFFECTDESC descriptions[16]{};
  DWORD results[16]{};
  for (int i = 0; i <= index; ++i) {
    descriptions[i].dwSize = sizeof(DSEFFECTDESC);
    descriptions[i].guidDSFXClass = DSFX_ClassGuid(d->effectTypes[i]);
  }
  const HRESULT result = b8->SetFX(DWORD(index + 1), descriptions, results);
  if (result != DS_OK && result != DS_INCOMPLETE) {
    b8->Release();
    Osnd_SetError(OSND_ERR_OUTPUT_FORMAT);
    return -1;
  }
  for (int i = 0; i < index; ++i) {
    if (d->effects[i]) static_cast<IUnknown *>(d->effects[i])->Release();
    d->effects[i] = nullptr;
  }
  d->effectCount = index + 1;
  int sameType[9] = {};
  for (int i = 0; i <= index; ++i) {
    const int t = d->effectTypes[i];
    if (FAILED(b8->GetObjectInPath(DSFX_ClassGuid(t), DWORD(sameType[t]++), DSFX_InterfaceId(t),
                                   &d->effects[i]))) {
      d->effects[i] = nullptr;
      break;
    }
  }
  b8->Release();
  return index;
}

bool OutputDSound_DisableEffects(OsndChannel *c) {
  OsndDsChannel *d = ChannelOf(c);
  if (!d || !d->buffer) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  for (int i = 0; i < d->effectCount; ++i) {
    if (d->effects[i]) static_cast<IUnknown *>(d->effects[i])->Release();
    d->effects[i] = nullptr;
  }
  if (d->effectCount > 0) {
    IDirectSoundBuffer8 *b8 = nullptr;
    if (SUCCEEDED(d->buffer->QueryInterface(IID_IDirectSoundBuffer8, reinterpret_cast<void **>(&b8)))) {
      b8->SetFX(0, nullptr, nullptr);
      b8->Release();
    }
  }
  d->effectCount = 0;
  return true;
}

bool OutputDSound_SetEffectParameters(OsndChannel *c, unsigned id, void *parameters) {
  OsndDsChannel *d = ChannelOf(c);
  const int index = int(id >> 24);
  const int type = int((id >> 16) & 0xFF);
  if (!d || index >= d->effectCount || !d->effects[index]) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  if (type > 8) return false;
  return SUCCEEDED(static_cast<IDirectSoundFX *>(d->effects[index])->SetAllParameters(parameters));
}

OsndOutputDriver OsndOutputDSound = {
    1, 1, 1, Enumerate, Init, Close, FillSampleOps, FillChannelOps, GetCaps, OutputHandle, SetSpeakerMode, Update,
    OsndEax_ReverbInit, OsndEax_SetReverb, OsndEax_GetReverb, OsndRecordDSound_Enumerate, OsndRecordDSound_Init,
    OsndRecordDSound_Start, OsndRecordDSound_Stop, OsndRecordDSound_Position, OsndRecordDSound_Lock,
    OsndRecordDSound_Unlock};
