#include "sound/src/output/output_dsound_eax.h"

#include "platform/dsound/DSound.h"
#include "sound/src/channel/osnd_sample.h"
#include "sound/src/output/output_dsound.h"
#include "sound/src/system/system_thread.h"

#include <cstring>

namespace {

constexpr GUID kEax2Listener = {0x0306A6A8, 0xB224, 0x11D2, {0x99, 0xE5, 0x00, 0x00, 0xE8, 0xD8, 0xC7, 0x22}};
constexpr GUID kEax2Buffer = {0x0306A6A7, 0xB224, 0x11D2, {0x99, 0xE5, 0x00, 0x00, 0xE8, 0xD8, 0xC7, 0x22}};
constexpr GUID kEax3Listener = {0xA8FA6882, 0xB476, 0x11D3, {0xBD, 0xB9, 0x00, 0xC0, 0xF0, 0x2D, 0xDF, 0x87}};
constexpr GUID kEax3Buffer = {0xA8FA6881, 0xB476, 0x11D3, {0xBD, 0xB9, 0x00, 0xC0, 0xF0, 0x2D, 0xDF, 0x87}};

constexpr ULONG kAllParameters = 1;
constexpr int32_t kRoomSilent = -10000;

struct EaxState {
  OSND_SAMPLE *sample = nullptr;
  IKsPropertySet *listener = nullptr;
  uint32_t mask[4] = {};
  int version = 0;
};

EaxState gEax;

const GUID &ListenerSet(int version) { return version == 3 ? kEax3Listener : kEax2Listener; }
ULONG RoomProperty(int version) { return version == 3 ? 5 : 2; }
bool Supported(int version, ULONG property) { return (gEax.mask[version] >> property) & 1u; }

void ReleaseListener() {
  if (gEax.listener) gEax.listener->Release();
  gEax.listener = nullptr;
}

void FreeSample() {
  if (gEax.sample) OsndSample_Destroy(gEax.sample);
  gEax.sample = nullptr;
}

bool Answers(int version, ULONG property) {
  ULONG support = 0;
  return SUCCEEDED(gEax.listener->QuerySupport(ListenerSet(version), property, &support)) &&
         (support & (KSPROPERTY_SUPPORT_GET | KSPROPERTY_SUPPORT_SET)) == (KSPROPERTY_SUPPORT_GET | KSPROPERTY_SUPPORT_SET);
}

// Asks the properties in order and stops at the first one not answered.
void QueryChain(int version) {
  static const ULONG kEax2Order[] = {0, 1, 11, 12, 13, 2, 3, 5, 6, 7, 8, 9, 10, 14, 4};
  uint32_t &mask = gEax.mask[version];
  mask = 0;
  if (version == 2) {
    for (ULONG p : kEax2Order) {
      if (!Answers(2, p)) return;
      mask |= 1u << p;
    }
    if (Answers(2, 15)) mask |= 1u << 15;
    return;
  }
  for (ULONG p = 0; p <= 24; ++p) {
    if (!Answers(3, p)) return;
    mask |= 1u << p;
  }
  if (Answers(3, 25)) mask |= 1u << 25;
}

void SetRoomSilent(int version) {
  if (!gEax.listener || !Supported(version, RoomProperty(version))) return;
  int32_t room = kRoomSilent;
  gEax.listener->Set(ListenerSet(version), RoomProperty(version), nullptr, 0, &room, sizeof room);
}

// The EAX 2.0 listener record, in its own field order.
struct Eax2Listener {
  int32_t room, roomHF;
  float roomRolloffFactor, decayTime, decayHFRatio;
  int32_t reflections;
  float reflectionsDelay;
  int32_t reverb;
  float reverbDelay;
  uint32_t environment;
  float environmentSize, environmentDiffusion, airAbsorptionHF;
  uint32_t flags;
};
static_assert(sizeof(Eax2Listener) == 56, "EAX 2.0 listener record");

struct Eax2Buffer {
  int32_t direct, directHF, room, roomHF;
  float roomRolloffFactor;
  int32_t obstruction;
  float obstructionLFRatio;
  int32_t occlusion;
  float occlusionLFRatio, occlusionRoomRatio;
  int32_t outsideVolumeHF;
  float airAbsorptionFactor;
  uint32_t flags;
};
static_assert(sizeof(Eax2Buffer) == 52, "EAX 2.0 buffer record");

// EAX 3.0 takes the engine's record up to the room rolloff factor, then the flags.
constexpr size_t kEax3Head = offsetof(OsndReverbProperties, diffusion);
constexpr size_t kEax3Bytes = kEax3Head + sizeof(uint32_t);
static_assert(kEax3Bytes == 112, "EAX 3.0 listener record");

}  // namespace

OSND_SAMPLE *OsndEax_Sample() { return gEax.sample; }
uint32_t OsndEax_SupportMask(int version) { return version == 2 || version == 3 ? gEax.mask[version] : 0; }
int OsndEax_Version() { return gEax.version; }

bool OsndEax_Init(int version) {
  // The sample's buffer is made under the driver's lock by its create slot;
  // holding it here too would order it before the sample table's lock.
  ReleaseListener();
  FreeSample();
  gEax.sample = OsndSample_Create(-2, 1024, 0x5031, 44100, 255, 128, 255, 1);
  if (!gEax.sample) return false;
  std::strncpy(gEax.sample->name, "OSND EAX Sample", sizeof gEax.sample->name - 1);
  gEax.sample->loopStart = 0;
  gEax.sample->loopLength = 1024;
  auto *d = static_cast<IDirectSoundBuffer **>(gEax.sample->driverData);
  IDirectSoundBuffer *buffer = d ? *d : nullptr;
  IDirectSound3DBuffer *buffer3d = nullptr;
  if (!buffer || FAILED(buffer->QueryInterface(IID_IDirectSound3DBuffer, reinterpret_cast<void **>(&buffer3d))) ||
      FAILED(buffer3d->QueryInterface(IID_IKsPropertySet, reinterpret_cast<void **>(&gEax.listener)))) {
    if (buffer3d) buffer3d->Release();
    gEax.listener = nullptr;
    FreeSample();
    return false;
  }
  buffer3d->Release();
  QueryChain(version);
  if (gEax.mask[version] == 0) {
    ReleaseListener();
    FreeSample();
    return false;
  }
  SetRoomSilent(version);
  return true;
}

void OsndEax_Close(int version) {
  SetRoomSilent(version);
  FreeSample();
  ReleaseListener();
}

bool OsndEax_SetProperties(int version, const OsndReverbProperties *p) {
  if (!p) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  if (!gEax.listener || !Supported(version, kAllParameters)) return Osnd_Fail(OSND_ERR_NO_EAX);
  HRESULT result;
  if (version == 3) {
    uint8_t data[kEax3Bytes];
    std::memcpy(data, p, kEax3Head);
    std::memcpy(data + kEax3Head, &p->flags, sizeof p->flags);
    result = gEax.listener->Set(kEax3Listener, kAllParameters, nullptr, 0, data, sizeof data);
  } else {
    Eax2Listener e{p->room, p->roomHF, p->roomRolloffFactor, p->decayTime, p->decayHFRatio, p->reflections,
                   p->reflectionsDelay, p->reverb, p->reverbDelay, p->environment, p->environmentSize,
                   p->environmentDiffusion, p->airAbsorptionHF, p->flags};
    result = gEax.listener->Set(kEax2Listener, kAllParameters, nullptr, 0, &e, sizeof e);
  }
  return SUCCEEDED(result) || Osnd_Fail(OSND_ERR_NO_EAX);
}

bool OsndEax_GetProperties(int version, OsndReverbProperties *p) {
  if (!p) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  if (!gEax.listener || !Supported(version, kAllParameters)) return Osnd_Fail(OSND_ERR_NO_EAX);
  ULONG returned = 0;
  if (version == 3) {
    uint8_t data[kEax3Bytes];
    if (FAILED(gEax.listener->Get(kEax3Listener, kAllParameters, nullptr, 0, data, sizeof data, &returned)))
      return Osnd_Fail(OSND_ERR_NO_EAX);
    std::memcpy(p, data, kEax3Head);
    std::memcpy(&p->flags, data + kEax3Head, sizeof p->flags);
    return true;
  }
  Eax2Listener e{};
  if (FAILED(gEax.listener->Get(kEax2Listener, kAllParameters, nullptr, 0, &e, sizeof e, &returned)))
    return Osnd_Fail(OSND_ERR_NO_EAX);
  const float diffusion = p->diffusion, density = p->density;
  *p = OsndReverbProperties{};
  p->diffusion = diffusion;
  p->density = density;
  p->room = e.room;
  p->roomHF = e.roomHF;
  p->roomRolloffFactor = e.roomRolloffFactor;
  p->decayTime = e.decayTime;
  p->decayHFRatio = e.decayHFRatio;
  p->reflections = e.reflections;
  p->reflectionsDelay = e.reflectionsDelay;
  p->reverb = e.reverb;
  p->reverbDelay = e.reverbDelay;
  p->environment = e.environment;
  p->environmentSize = e.environmentSize;
  p->environmentDiffusion = e.environmentDiffusion;
  p->airAbsorptionHF = e.airAbsorptionHF;
  p->flags = e.flags;
  return true;
}

bool OsndEax_SetChannelProperties(int version, OsndChannel *c, const OsndReverbChannelProperties *p) {
  if (!p) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  auto *d = static_cast<OsndDsChannel *>(c ? c->driverChannel : nullptr);
  if (!d || !d->buffer3d) return Osnd_Fail(OSND_ERR_NO_EAX);
  if (!d->reverbSet) {
    if ((c->flags & OSND_CHANFLAG_PENDING) && OutputDSound_DirectXVersion() >= 8) {
      IDirectSoundBuffer8 *b8 = nullptr;
      if (SUCCEEDED(d->buffer->QueryInterface(IID_IDirectSoundBuffer8, reinterpret_cast<void **>(&b8)))) {
        b8->AcquireResources(2, 0, nullptr);
        b8->Release();
      }
    }
    if (FAILED(d->buffer3d->QueryInterface(IID_IKsPropertySet, reinterpret_cast<void **>(&d->reverbSet)))) {
      d->reverbSet = nullptr;
      return Osnd_Fail(OSND_ERR_NO_EAX);
    }
  }
  HRESULT result;
  if (version == 3) {
    OsndReverbChannelProperties copy = *p;
    result = d->reverbSet->Set(kEax3Buffer, kAllParameters, nullptr, 0, &copy, sizeof copy);
  } else {
    Eax2Buffer e{p->direct, p->directHF, p->room, p->roomHF, p->roomRolloffFactor, p->obstruction,
                 p->obstructionLFRatio, p->occlusion, p->occlusionLFRatio, p->occlusionRoomRatio,
                 p->outsideVolumeHF, p->airAbsorptionFactor, p->flags};
    result = d->reverbSet->Set(kEax2Buffer, kAllParameters, nullptr, 0, &e, sizeof e);
  }
  return SUCCEEDED(result) || Osnd_Fail(OSND_ERR_NO_EAX);
}

void OsndEax_ReleaseChannel(OsndChannel *c) {
  auto *d = static_cast<OsndDsChannel *>(c ? c->driverChannel : nullptr);
  if (d && d->reverbSet) {
    d->reverbSet->Release();
    d->reverbSet = nullptr;
  }
}

bool OsndEax_ReverbInit() {
  gEax.version = 0;
  if (OsndEax_Init(3))
    gEax.version = 3;
  else if (OsndEax_Init(2))
    gEax.version = 2;
  return gEax.version != 0;
}

bool OsndEax_SetReverb(const int32_t *properties) {
  Osnd_ResetError();
  if (gEax.version == 0) return false;
  return OsndEax_SetProperties(gEax.version, reinterpret_cast<const OsndReverbProperties *>(properties));
}

bool OsndEax_GetReverb(int32_t *properties) {
  Osnd_ResetError();
  if (gEax.version == 0) return false;
  return OsndEax_GetProperties(gEax.version, reinterpret_cast<OsndReverbProperties *>(properties));
}

bool OsndEax_SetChannelReverb(OsndChannel *channel, const OsndReverbChannelProperties *properties) {
  if (gEax.version == 0) return false;
  return OsndEax_SetChannelProperties(gEax.version, channel, properties);
}

void OsndEax_Shutdown() {
  if (gEax.version != 0) OsndEax_Close(gEax.version);
  gEax.version = 0;
}
