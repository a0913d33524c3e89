#include "platform/dsound/AlDevice.h"

#include "platform/dsound/Voice.h"

#define AL_ALEXT_PROTOTYPES
#include <AL/alext.h>
#include <AL/efx.h>

#include <algorithm>
#include <cmath>
#include <chrono>

namespace platform::dsound {

namespace {

int gLoopbackRate = 0;
// The live loopback device (one at a time), for RenderLoopback.
AlDevice* gLoopback = nullptr;

constexpr const char* kLoopbackName = "OpenAL Soft loopback";

std::vector<std::string> SplitList(const ALCchar* list)
{
    std::vector<std::string> names;
    while (list && *list) {
        names.emplace_back(list);
        list += names.back().size() + 1;
    }
    return names;
}

}  // namespace

std::recursive_mutex& AlDevice::Lock()
{
    static std::recursive_mutex lock;
    return lock;
}

std::shared_ptr<AlDevice> AlDevice::Open(const std::string& name)
{
    std::lock_guard<std::recursive_mutex> guard(Lock());
    std::shared_ptr<AlDevice> device(new AlDevice());
    if (gLoopbackRate > 0) {
        if (gLoopback) {
            return nullptr;  // one loopback device at a time
        }
        device->m_Loopback = true;
        device->m_Device = alcLoopbackOpenDeviceSOFT(nullptr);
        if (!device->m_Device) {
            return nullptr;
        }
        // Nothing between the buffers and the output but the gains: no
        // head-related filtering, no limiter.
        const ALCint attributes[] = {ALC_FORMAT_CHANNELS_SOFT, ALC_STEREO_SOFT, ALC_FORMAT_TYPE_SOFT,
                                     ALC_SHORT_SOFT, ALC_FREQUENCY, gLoopbackRate, ALC_HRTF_SOFT, ALC_FALSE,
                                     ALC_OUTPUT_LIMITER_SOFT, ALC_FALSE, 0};
        device->m_Context = alcCreateContext(device->m_Device, attributes);
    } else {
        device->m_Device = alcOpenDevice(name.empty() ? nullptr : name.c_str());
        if (!device->m_Device) {
            return nullptr;
        }
        device->m_Context = alcCreateContext(device->m_Device, nullptr);
    }
    if (!device->m_Context) {
        return nullptr;  // the destructor closes the device
    }
    device->MakeCurrent();
    alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
    if (alcIsExtensionPresent(device->m_Device, "ALC_EXT_EFX")) {
        alGetError();
        alGenEffects(1, &device->m_Effect);
        alEffecti(device->m_Effect, AL_EFFECT_TYPE, AL_EFFECT_EAXREVERB);
        alGenAuxiliaryEffectSlots(1, &device->m_Slot);
        if (alGetError() == AL_NO_ERROR) {
            device->SetReverb(device->m_Reverb);
        } else {
            device->m_Slot = 0;
        }
    }
    if (device->m_Loopback) {
        gLoopback = device.get();
    } else {
        device->m_Feeder = std::thread([raw = device.get()] { raw->FeedLoop(); });
    }
    return device;
}

AlDevice::~AlDevice()
{
    m_Stop = true;
    if (m_Feeder.joinable()) {
        m_Feeder.join();
    }
    std::lock_guard<std::recursive_mutex> guard(Lock());
    if (gLoopback == this) {
        gLoopback = nullptr;
    }
    if (m_Context) {
        MakeCurrent();
        if (m_Slot) {
            alDeleteAuxiliaryEffectSlots(1, &m_Slot);
        }
        if (m_Effect) {
            alDeleteEffects(1, &m_Effect);
        }
        if (alcGetCurrentContext() == m_Context) {
            alcMakeContextCurrent(nullptr);
        }
        alcDestroyContext(m_Context);
    }
    if (m_Device) {
        alcCloseDevice(m_Device);
    }
}

void AlDevice::MakeCurrent()
{
    if (alcGetCurrentContext() != m_Context) {
        alcMakeContextCurrent(m_Context);
    }
}

namespace {

float Linear(std::int32_t millibels, float low, float high)
{
    return std::clamp(float(std::pow(10.0, millibels / 2000.0)), low, high);
}

}  // namespace

void AlDevice::SetReverb(const EaxListener& r)
{
    m_Reverb = r;
    if (!m_Slot) {
        return;
    }
    MakeCurrent();
    const ALuint e = m_Effect;
    const float size = std::clamp(r.environmentSize, 1.0f, 100.0f);
    alEffectf(e, AL_EAXREVERB_DENSITY, std::min(size * size * size / 16.0f, 1.0f));
    alEffectf(e, AL_EAXREVERB_DIFFUSION, std::clamp(r.environmentDiffusion, 0.0f, 1.0f));
    alEffectf(e, AL_EAXREVERB_GAIN, Linear(r.room, 0.0f, 1.0f));
    alEffectf(e, AL_EAXREVERB_GAINHF, Linear(r.roomHF, 0.0f, 1.0f));
    alEffectf(e, AL_EAXREVERB_GAINLF, Linear(r.roomLF, 0.0f, 1.0f));
    alEffectf(e, AL_EAXREVERB_DECAY_TIME, std::clamp(r.decayTime, AL_EAXREVERB_MIN_DECAY_TIME, AL_EAXREVERB_MAX_DECAY_TIME));
    alEffectf(e, AL_EAXREVERB_DECAY_HFRATIO, std::clamp(r.decayHFRatio, 0.1f, 2.0f));
    alEffectf(e, AL_EAXREVERB_DECAY_LFRATIO, std::clamp(r.decayLFRatio, 0.1f, 2.0f));
    alEffectf(e, AL_EAXREVERB_REFLECTIONS_GAIN, Linear(r.reflections, 0.0f, 3.16f));
    alEffectf(e, AL_EAXREVERB_REFLECTIONS_DELAY, std::clamp(r.reflectionsDelay, 0.0f, 0.3f));
    const ALfloat reflectionsPan[3] = {r.reflectionsPan[0], r.reflectionsPan[1], -r.reflectionsPan[2]};
    alEffectfv(e, AL_EAXREVERB_REFLECTIONS_PAN, reflectionsPan);
    alEffectf(e, AL_EAXREVERB_LATE_REVERB_GAIN, Linear(r.reverb, 0.0f, 10.0f));
    alEffectf(e, AL_EAXREVERB_LATE_REVERB_DELAY, std::clamp(r.reverbDelay, 0.0f, 0.1f));
    const ALfloat reverbPan[3] = {r.reverbPan[0], r.reverbPan[1], -r.reverbPan[2]};
    alEffectfv(e, AL_EAXREVERB_LATE_REVERB_PAN, reverbPan);
    alEffectf(e, AL_EAXREVERB_ECHO_TIME, std::clamp(r.echoTime, 0.075f, 0.25f));
    alEffectf(e, AL_EAXREVERB_ECHO_DEPTH, std::clamp(r.echoDepth, 0.0f, 1.0f));
    alEffectf(e, AL_EAXREVERB_MODULATION_TIME, std::clamp(r.modulationTime, 0.04f, 4.0f));
    alEffectf(e, AL_EAXREVERB_MODULATION_DEPTH, std::clamp(r.modulationDepth, 0.0f, 1.0f));
    alEffectf(e, AL_EAXREVERB_AIR_ABSORPTION_GAINHF, Linear(std::int32_t(r.airAbsorptionHF), 0.892f, 1.0f));
    alEffectf(e, AL_EAXREVERB_HFREFERENCE, std::clamp(r.hfReference, 1000.0f, 20000.0f));
    alEffectf(e, AL_EAXREVERB_LFREFERENCE, std::clamp(r.lfReference, 20.0f, 1000.0f));
    alEffectf(e, AL_EAXREVERB_ROOM_ROLLOFF_FACTOR, std::clamp(r.roomRolloffFactor, 0.0f, 10.0f));
    alEffecti(e, AL_EAXREVERB_DECAY_HFLIMIT, (r.flags & 0x20) ? AL_TRUE : AL_FALSE);
    // The slot takes a copy of the effect: it is given again after every change.
    alAuxiliaryEffectSloti(m_Slot, AL_EFFECTSLOT_EFFECT, ALint(e));
}

AlDevice::Sources AlDevice::CountSources()
{
    std::lock_guard<std::recursive_mutex> guard(Lock());
    Sources s;
    ALCint mono = 0, stereo = 0;
    alcGetIntegerv(m_Device, ALC_MONO_SOURCES, 1, &mono);
    alcGetIntegerv(m_Device, ALC_STEREO_SOURCES, 1, &stereo);
    s.mono = std::max(mono, 0);
    s.stereo = std::max(stereo, 0);
    for (const Voice* voice : m_Voices) {
        if (!voice->HoldsSource()) continue;
        ++s.held;
        if (voice->Positional()) ++s.heldPositional;
    }
    return s;
}

void AlDevice::Add(Voice* voice)
{
    std::lock_guard<std::recursive_mutex> guard(Lock());
    m_Voices.push_back(voice);
}

void AlDevice::Remove(Voice* voice)
{
    std::lock_guard<std::recursive_mutex> guard(Lock());
    m_Voices.erase(std::remove(m_Voices.begin(), m_Voices.end(), voice), m_Voices.end());
}

void AlDevice::Pump()
{
    MakeCurrent();
    for (Voice* voice : m_Voices) {
        voice->Pump();
    }
}

void AlDevice::FeedLoop()
{
    while (!m_Stop) {
        {
            std::lock_guard<std::recursive_mutex> guard(Lock());
            Pump();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

std::vector<std::string> OutputDeviceNames()
{
    if (gLoopbackRate > 0) {
        return {kLoopbackName};
    }
    std::lock_guard<std::recursive_mutex> guard(AlDevice::Lock());
    if (alcIsExtensionPresent(nullptr, "ALC_ENUMERATE_ALL_EXT")) {
        return SplitList(alcGetString(nullptr, ALC_ALL_DEVICES_SPECIFIER));
    }
    return SplitList(alcGetString(nullptr, ALC_DEVICE_SPECIFIER));
}

void UseLoopbackDevice(int rate)
{
    std::lock_guard<std::recursive_mutex> guard(AlDevice::Lock());
    gLoopbackRate = std::max(rate, 0);
}

bool RenderLoopback(std::int16_t* frames, int count)
{
    constexpr int kChunk = 64;
    for (int done = 0; done < count;) {
        std::lock_guard<std::recursive_mutex> guard(AlDevice::Lock());
        if (!gLoopback) {
            return false;
        }
        gLoopback->Pump();
        const int n = std::min(kChunk, count - done);
        alcRenderSamplesSOFT(gLoopback->Device(), frames + 2 * done, n);
        done += n;
    }
    return true;
}

}  // namespace platform::dsound
