#include "platform/dsound/DirectSoundFX.h"

#include "platform/dsound/AlDevice.h"

#define AL_ALEXT_PROTOTYPES
#include <AL/alext.h>
#include <AL/efx.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace platform::dsound {

namespace {

enum { kChorus, kCompressor, kDistortion, kEcho, kFlanger, kGargle, kRoomReverb, kEqualizer, kMusicReverb };

std::size_t RecordBytes(int type)
{
    switch (type) {
    case kChorus:
    case kFlanger:
        return sizeof(DSFXModulationRecord);
    case kCompressor:
        return sizeof(DSFXCompressorRecord);
    case kDistortion:
        return sizeof(DSFXDistortionRecord);
    case kEcho:
        return sizeof(DSFXEchoRecord);
    case kGargle:
        return sizeof(DSFXGargleRecord);
    case kRoomReverb:
        return sizeof(DSFXRoomReverbRecord);
    case kEqualizer:
        return sizeof(DSFXEqualizerRecord);
    default:
        return sizeof(DSFXMusicReverbRecord);
    }
}

ALenum EfxType(int type)
{
    static const ALenum kTypes[] = {AL_EFFECT_CHORUS,  AL_EFFECT_COMPRESSOR,      AL_EFFECT_DISTORTION,
                                    AL_EFFECT_ECHO,    AL_EFFECT_FLANGER,         AL_EFFECT_RING_MODULATOR,
                                    AL_EFFECT_EAXREVERB, AL_EFFECT_EQUALIZER,     AL_EFFECT_REVERB};
    return kTypes[type];
}

float FromDecibels(float decibels) { return float(std::pow(10.0, decibels / 20.0)); }

// The settings a new effect starts with.
void Defaults(int type, void* record)
{
    switch (type) {
    case kChorus:
        *static_cast<DSFXModulationRecord*>(record) = {50, 10, 25, 1.1f, 1, 16, 3};
        break;
    case kFlanger:
        *static_cast<DSFXModulationRecord*>(record) = {50, 100, -50, 0.25f, 1, 2, 2};
        break;
    case kCompressor:
        *static_cast<DSFXCompressorRecord*>(record) = {0, 10, 200, -20, 3, 4};
        break;
    case kDistortion:
        *static_cast<DSFXDistortionRecord*>(record) = {-18, 15, 2400, 2400, 8000};
        break;
    case kEcho:
        *static_cast<DSFXEchoRecord*>(record) = {50, 50, 500, 500, 0};
        break;
    case kGargle:
        *static_cast<DSFXGargleRecord*>(record) = {20, 0};
        break;
    case kRoomReverb:
        *static_cast<DSFXRoomReverbRecord*>(record) = {-1000, -100, 0, 1.49f, 0.83f, -2602, 0.007f, 200, 0.011f,
                                                        100, 100, 5000};
        break;
    case kEqualizer:
        *static_cast<DSFXEqualizerRecord*>(record) = {8000, 12, 0};
        break;
    default:
        *static_cast<DSFXMusicReverbRecord*>(record) = {0, 0, 1000, 0.001f};
        break;
    }
}

void Apply(int type, ALuint e, const void* record)
{
    switch (type) {
    case kChorus:
    case kFlanger: {
        const auto& r = *static_cast<const DSFXModulationRecord*>(record);
        const bool chorus = type == kChorus;
        alEffecti(e, chorus ? AL_CHORUS_WAVEFORM : AL_FLANGER_WAVEFORM, r.waveform == 0 ? 1 : 0);
        alEffecti(e, chorus ? AL_CHORUS_PHASE : AL_FLANGER_PHASE, std::clamp(int(r.phase - 2) * 90, -180, 180));
        alEffectf(e, chorus ? AL_CHORUS_RATE : AL_FLANGER_RATE, std::clamp(r.frequency, 0.0f, 10.0f));
        alEffectf(e, chorus ? AL_CHORUS_DEPTH : AL_FLANGER_DEPTH, std::clamp(r.depth / 100.0f, 0.0f, 1.0f));
        alEffectf(e, chorus ? AL_CHORUS_FEEDBACK : AL_FLANGER_FEEDBACK, std::clamp(r.feedback / 100.0f, -1.0f, 1.0f));
        alEffectf(e, chorus ? AL_CHORUS_DELAY : AL_FLANGER_DELAY,
                  std::clamp(r.delay / 1000.0f, 0.0f, chorus ? 0.016f : 0.004f));
        break;
    }
    case kCompressor:
        alEffecti(e, AL_COMPRESSOR_ONOFF, AL_TRUE);
        break;
    case kDistortion: {
        const auto& r = *static_cast<const DSFXDistortionRecord*>(record);
        alEffectf(e, AL_DISTORTION_EDGE, std::clamp(r.edge / 100.0f, 0.0f, 1.0f));
        alEffectf(e, AL_DISTORTION_GAIN, std::clamp(FromDecibels(r.gain), 0.01f, 1.0f));
        alEffectf(e, AL_DISTORTION_LOWPASS_CUTOFF, std::clamp(r.preLowpassCutoff, 80.0f, 24000.0f));
        alEffectf(e, AL_DISTORTION_EQCENTER, std::clamp(r.postEQCenterFrequency, 80.0f, 24000.0f));
        alEffectf(e, AL_DISTORTION_EQBANDWIDTH, std::clamp(r.postEQBandwidth, 80.0f, 24000.0f));
        break;
    }
    case kEcho: {
        const auto& r = *static_cast<const DSFXEchoRecord*>(record);
        alEffectf(e, AL_ECHO_DELAY, std::clamp(r.leftDelay / 1000.0f, 0.0f, 0.207f));
        alEffectf(e, AL_ECHO_LRDELAY, std::clamp(r.rightDelay / 1000.0f, 0.0f, 0.404f));
        alEffectf(e, AL_ECHO_FEEDBACK, std::clamp(r.feedback / 100.0f, 0.0f, 0.99f));
        alEffectf(e, AL_ECHO_SPREAD, r.panDelay ? -1.0f : 0.0f);
        break;
    }
    case kGargle: {
        const auto& r = *static_cast<const DSFXGargleRecord*>(record);
        alEffectf(e, AL_RING_MODULATOR_FREQUENCY, std::clamp(float(r.rateHz), 0.0f, 8000.0f));
        alEffectf(e, AL_RING_MODULATOR_HIGHPASS_CUTOFF, 0.0f);
        alEffecti(e, AL_RING_MODULATOR_WAVEFORM, r.waveShape == 1 ? AL_RING_MODULATOR_SQUARE : AL_RING_MODULATOR_SINUSOID);
        break;
    }
    case kRoomReverb: {
        const auto& r = *static_cast<const DSFXRoomReverbRecord*>(record);
        auto linear = [](LONG hundredths, float high) {
            return std::clamp(float(std::pow(10.0, hundredths / 2000.0)), 0.0f, high);
        };
        alEffectf(e, AL_EAXREVERB_GAIN, linear(r.room, 1.0f));
        alEffectf(e, AL_EAXREVERB_GAINHF, linear(r.roomHF, 1.0f));
        alEffectf(e, AL_EAXREVERB_ROOM_ROLLOFF_FACTOR, std::clamp(r.roomRolloffFactor, 0.0f, 10.0f));
        alEffectf(e, AL_EAXREVERB_DECAY_TIME, std::clamp(r.decayTime, 0.1f, 20.0f));
        alEffectf(e, AL_EAXREVERB_DECAY_HFRATIO, std::clamp(r.decayHFRatio, 0.1f, 2.0f));
        alEffectf(e, AL_EAXREVERB_REFLECTIONS_GAIN, linear(r.reflections, 3.16f));
        alEffectf(e, AL_EAXREVERB_REFLECTIONS_DELAY, std::clamp(r.reflectionsDelay, 0.0f, 0.3f));
        alEffectf(e, AL_EAXREVERB_LATE_REVERB_GAIN, linear(r.reverb, 10.0f));
        alEffectf(e, AL_EAXREVERB_LATE_REVERB_DELAY, std::clamp(r.reverbDelay, 0.0f, 0.1f));
        alEffectf(e, AL_EAXREVERB_DIFFUSION, std::clamp(r.diffusion / 100.0f, 0.0f, 1.0f));
        alEffectf(e, AL_EAXREVERB_DENSITY, std::clamp(r.density / 100.0f, 0.0f, 1.0f));
        alEffectf(e, AL_EAXREVERB_HFREFERENCE, std::clamp(r.hfReference, 1000.0f, 20000.0f));
        break;
    }
    case kEqualizer: {
        const auto& r = *static_cast<const DSFXEqualizerRecord*>(record);
        alEffectf(e, AL_EQUALIZER_MID1_CENTER, std::clamp(r.center, 200.0f, 3000.0f));
        alEffectf(e, AL_EQUALIZER_MID1_WIDTH, std::clamp(r.bandwidth / 12.0f, 0.01f, 1.0f));
        alEffectf(e, AL_EQUALIZER_MID1_GAIN, std::clamp(FromDecibels(r.gain), 0.126f, 7.943f));
        break;
    }
    default: {
        const auto& r = *static_cast<const DSFXMusicReverbRecord*>(record);
        alEffectf(e, AL_REVERB_DECAY_TIME, std::clamp(r.reverbTime / 1000.0f, 0.1f, 20.0f));
        alEffectf(e, AL_REVERB_DECAY_HFRATIO, std::clamp(r.highFreqRTRatio, 0.1f, 2.0f));
        alEffectf(e, AL_REVERB_GAIN, std::clamp(FromDecibels(r.reverbMix + r.inGain), 0.0f, 1.0f));
        break;
    }
    }
}

}  // namespace

int EffectType(REFGUID classId)
{
    for (int type = 0; type < DSFX_TYPE_COUNT; ++type) {
        if (classId == DSFX_ClassGuid(type)) {
            return type;
        }
    }
    return -1;
}

std::shared_ptr<EffectUnit> MakeEffect(const std::shared_ptr<AlDevice>& device, int type)
{
    if (type < 0 || type >= DSFX_TYPE_COUNT || !device->ReverbSlot()) {
        return nullptr;  // no effects without EFX
    }
    device->MakeCurrent();
    alGetError();
    ALuint effect = 0, slot = 0;
    alGenEffects(1, &effect);
    alEffecti(effect, AL_EFFECT_TYPE, EfxType(type));
    alGenAuxiliaryEffectSlots(1, &slot);
    if (alGetError() != AL_NO_ERROR) {
        if (slot) {
            alDeleteAuxiliaryEffectSlots(1, &slot);
        }
        if (effect) {
            alDeleteEffects(1, &effect);
        }
        return nullptr;
    }
    auto unit = std::make_shared<EffectUnit>(device, type, effect, slot);
    std::vector<unsigned char> defaults(RecordBytes(type));
    Defaults(type, defaults.data());
    unit->SetParameters(defaults.data());
    return unit;
}

EffectUnit::EffectUnit(std::shared_ptr<AlDevice> device, int type, ALuint effect, ALuint slot)
    : m_Device(std::move(device)), m_Type(type), m_Effect(effect), m_Slot(slot), m_Record(RecordBytes(type))
{
}

EffectUnit::~EffectUnit()
{
    std::lock_guard<std::recursive_mutex> guard(AlDevice::Lock());
    m_Device->MakeCurrent();
    alDeleteAuxiliaryEffectSlots(1, &m_Slot);
    alDeleteEffects(1, &m_Effect);
}

bool EffectUnit::Replaces() const
{
    return m_Type == kCompressor || m_Type == kDistortion || m_Type == kGargle || m_Type == kEqualizer;
}

float EffectUnit::WetGain() const
{
    if (Replaces()) {
        return 1.0f;
    }
    if (m_Type == kChorus || m_Type == kFlanger) {
        return std::clamp(reinterpret_cast<const DSFXModulationRecord*>(m_Record.data())->wetDryMix / 100.0f, 0.0f, 1.0f);
    }
    if (m_Type == kEcho) {
        return std::clamp(reinterpret_cast<const DSFXEchoRecord*>(m_Record.data())->wetDryMix / 100.0f, 0.0f, 1.0f);
    }
    return 1.0f;  // the reverbs carry their own levels
}

float EffectUnit::DryGain() const
{
    if (Replaces()) {
        return 0.0f;
    }
    if (m_Type == kChorus || m_Type == kFlanger || m_Type == kEcho) {
        return 1.0f - WetGain();
    }
    return 1.0f;
}

bool EffectUnit::SetParameters(const void* record)
{
    std::memcpy(m_Record.data(), record, m_Record.size());
    m_Device->MakeCurrent();
    Apply(m_Type, m_Effect, m_Record.data());
    // The slot takes a copy of the effect: it is given again after every change.
    alAuxiliaryEffectSloti(m_Slot, AL_EFFECTSLOT_EFFECT, ALint(m_Effect));
    return alGetError() == AL_NO_ERROR;
}

void EffectUnit::GetParameters(void* record) const { std::memcpy(record, m_Record.data(), m_Record.size()); }

DirectSoundFX::DirectSoundFX(IUnknown* owner, std::shared_ptr<EffectUnit> unit, REFIID iid)
    : m_Owner(owner), m_Unit(std::move(unit)), m_Interface(iid)
{
    m_Owner->AddRef();
}

DirectSoundFX::~DirectSoundFX()
{
    m_Unit.reset();
    m_Owner->Release();
}

void* DirectSoundFX::Find(REFIID iid)
{
    return iid == IID_IUnknown || iid == m_Interface ? static_cast<IDirectSoundFX*>(this) : nullptr;
}

HRESULT DirectSoundFX::SetAllParameters(const void* parameters)
{
    if (!parameters) {
        return DSERR_INVALIDPARAM;
    }
    std::lock_guard<std::recursive_mutex> guard(AlDevice::Lock());
    return m_Unit->SetParameters(parameters) ? DS_OK : DSERR_INVALIDPARAM;
}

HRESULT DirectSoundFX::GetAllParameters(void* parameters)
{
    if (!parameters) {
        return DSERR_INVALIDPARAM;
    }
    std::lock_guard<std::recursive_mutex> guard(AlDevice::Lock());
    m_Unit->GetParameters(parameters);
    return DS_OK;
}

}  // namespace platform::dsound
