#include "sound/src/output/output_nosound.h"

#include "sound/src/mixer/software_mixer.h"
#include "sound/src/output/output_sample.h"
#include "sound/src/system/system_string.h"
#include "sound/src/system/system_thread.h"
#include "sound/src/system/system_time.h"

#include <cstring>

namespace {

OsndCaptureTap gTap = nullptr;
void *gTapUser = nullptr;
int32_t gReverb[30] = {};

bool True() { return true; }
bool TrueInt(int) { return true; }
void *NoHandle() { return nullptr; }

bool Enumerate() {
  gOsnd.numDrivers = 0;
  Osnd_AddDriverName("No Sound Driver");
  return true;
}

bool Init(int) {
  Enumerate();
  gOsnd.hardware3dChannels = 0;
  gOsnd.hardware2dChannels = 0;
  if (Osnd_NonRealtime()) OsndOutputNoSound.mixerThread = 0;
  return true;
}

// Sample operations. Without a tap nothing is kept; with one the primary mix
// buffer keeps real storage so the mixed blocks can be observed.
bool SampleCreate(OSND_SAMPLE *s) {
  if (!gTap) return true;
  OSND_FREE_MEM(s->driverData);
  s->driverData = OSND_ALLOC(int(OutputSample_Bytes(s)));
  if (!s->driverData) {
    Osnd_SetError(OSND_ERR_MEMORY);
    return false;
  }
  return true;
}

void SampleRelease(OSND_SAMPLE *s) {
  OSND_FREE_MEM(s->driverData);
  s->driverData = nullptr;
}

bool SampleLock(OSND_SAMPLE *s, unsigned offset, unsigned length, void **p1, void **p2,
                unsigned *l1, unsigned *l2) {
  if (s->driverData) return OutputSample_Lock(s, offset, length, p1, p2, l1, l2);
  *p1 = *p2 = nullptr;  // nothing kept: the lock succeeds with no memory
  *l1 = *l2 = 0;
  return true;
}

bool SampleUnlock(OSND_SAMPLE *s, void *p1, void *, unsigned l1, unsigned) {
  if (gTap && s == gOsnd.primarySample && p1 && l1)
    gTap(static_cast<const int16_t *>(p1), int(l1 / 4), gTapUser);
  return true;
}

bool FillSampleOps(OSND_SAMPLE *s) {
  s->ops.create = SampleCreate;
  s->ops.release = SampleRelease;
  s->ops.upload = nullptr;
  s->ops.lock = SampleLock;
  s->ops.unlock = SampleUnlock;
  return true;
}

bool FillChannelOps(OsndChannel *c) {
  OsndChannel_SetDefaultOps(c);
  return true;
}

bool Update() {
  if (!Osnd_NonRealtime()) return true;
  if (gOsnd.softwareChannels > 0 && gOsnd.mixer && gOsnd.blockLength > 0) {
    SystemTime_StartMeasure(&gOsnd.cpuMeter);
    OsndMixer *m = gOsnd.mixer;
    SoundSoftware_MixBlock(m->currentBlock * gOsnd.blockLength, gOsnd.blockLength);
    if (++m->currentBlock >= gOsnd.bufferLengthSamples / gOsnd.blockLength) m->currentBlock = 0;
  }
  gOsnd.cpuUsage = SystemTime_EndMeasure(&gOsnd.cpuMeter, 90);
  return true;
}

bool SetReverb(const int32_t *properties) {
  Osnd_ResetError();
  if (!properties) {
    Osnd_SetError(OSND_ERR_INVALID_PARAM);
    return false;
  }
  std::memcpy(gReverb, properties, sizeof gReverb);
  return true;
}

bool GetReverb(int32_t *properties) {
  Osnd_ResetError();
  if (!properties) {
    Osnd_SetError(OSND_ERR_INVALID_PARAM);
    return false;
  }
  std::memcpy(properties, gReverb, sizeof gReverb);
  return true;
}

bool RecordEnumerate() {
  gOsnd.numRecordDrivers = 0;
  Osnd_AddRecordDriverName("No Sound Driver");
  return true;
}

bool RecordInit(int) {
  Osnd_SetError(OSND_ERR_RECORD);
  return false;
}

bool RecordStart(int, unsigned, int) {
  Osnd_SetError(OSND_ERR_RECORD);
  return false;
}

int RecordPosition() { return -1; }

bool RecordLock(unsigned, unsigned bytes, void **p1, void **p2, unsigned *l1, unsigned *l2) {
  *p1 = *p2 = nullptr;
  *l1 = bytes;
  *l2 = 0;
  return true;
}

bool RecordUnlock(void *, void *, unsigned, unsigned) { return true; }

// Default channel operations.
bool DefInit(OsndChannel *) { return true; }
bool DefStart(OsndChannel *c, OSND_SAMPLE *s) {
  c->driverSample = s;
  return true;
}
bool DefPlay(OSND_DSPUNIT *, OsndChannel *, OSND_SAMPLE *) { return true; }
bool DefInt(OsndChannel *, int) { return true; }
bool DefFloat(OsndChannel *, float) { return true; }
bool DefBool(OsndChannel *, bool) { return true; }
bool DefUnsigned(OsndChannel *, unsigned) { return true; }
unsigned DefGetPosition(OsndChannel *) {
  return unsigned(uint64_t(SystemTime_GetMilliseconds()) * uint64_t(gOsnd.mixRate) / 1000u);
}
bool DefGetLevels(OsndChannel *, float *l, float *r) {
  if (l) *l = 0.0f;
  if (r) *r = 0.0f;
  return true;
}
int DefReserved(OsndChannel *) { return 1; }
int DefMinusOne(OsndChannel *) { return -1; }

}  // namespace

namespace {
OsndRecordSink gRecordSink = nullptr;
}  // namespace

void OsndOutput_SetRecordSink(OsndRecordSink sink) { gRecordSink = sink; }

void OsndOutput_PassRecorded(int offset, int samples) {
  if (gRecordSink) gRecordSink(offset, samples);
}

bool OsndOutput_NoCaps(unsigned *bits, int) {
  if (bits) *bits = 0;
  return true;
}

OsndOutputDriver OsndOutputNoSound = {
    1, 1, 1, Enumerate, Init, True, FillSampleOps, FillChannelOps, OsndOutput_NoCaps, NoHandle, TrueInt,
    Update, True, SetReverb, GetReverb, RecordEnumerate, RecordInit, RecordStart, True,
    RecordPosition, RecordLock, RecordUnlock};


void OsndOutput_SoftwareOnly(OsndOutputDriver *driver) {
  driver->hardware3d = 0;
  driver->hardware2d = 0;
  gOsnd.hardware3dChannels = 0;
  gOsnd.hardware2dChannels = 0;
  gOsnd.extraChannels = OSND_EXTRA_CHANNELS;
}

void OsndChannel_SetDefaultOps(OsndChannel *c) {
  OsndChannelOps &o = c->ops;
  o.init = DefInit;
  o.release = DefInit;
  o.start = DefStart;
  o.play = DefPlay;
  o.stop = DefInit;
  o.setFrequency = DefInt;
  o.setFrequencyFloat = DefFloat;
  o.setVolume = DefInt;
  o.setPan = DefInt;
  o.unused9 = DefInit;
  o.setPaused = DefBool;
  o.setPosition = DefUnsigned;
  o.getPosition = DefGetPosition;
  o.getLevels = DefGetLevels;
  o.isPlaying = DefInit;
  o.setLoopMode = DefUnsigned;
  o.update3D = DefInit;
  for (int i = 0; i < 6; ++i) o.unused17to22[i] = (i == 3) ? DefMinusOne : DefReserved;
}

void OsndOutputNoSound_SetCaptureTap(OsndCaptureTap tap, void *user) {
  gTap = tap;
  gTapUser = user;
}
