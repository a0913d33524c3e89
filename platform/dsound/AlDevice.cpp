#include "platform/dsound/AlDevice.h"

#include "platform/dsound/Voice.h"

#define AL_ALEXT_PROTOTYPES
#include <AL/alext.h>

#include <algorithm>
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
