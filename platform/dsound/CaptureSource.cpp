#include "platform/dsound/CaptureSource.h"

#include "platform/dsound/AlDevice.h"

#include <mutex>

namespace platform::dsound {

namespace {

CaptureSourceFactory gFactory;
std::vector<std::string> gNames;

class AlCaptureSource final : public CaptureSource {
public:
    explicit AlCaptureSource(ALCdevice* device) : m_Device(device) {}
    ~AlCaptureSource() override
    {
        std::lock_guard<std::recursive_mutex> guard(AlDevice::Lock());
        alcCaptureCloseDevice(m_Device);
    }
    bool Start() override
    {
        std::lock_guard<std::recursive_mutex> guard(AlDevice::Lock());
        alcCaptureStart(m_Device);
        return alcGetError(m_Device) == ALC_NO_ERROR;
    }
    void Stop() override
    {
        std::lock_guard<std::recursive_mutex> guard(AlDevice::Lock());
        alcCaptureStop(m_Device);
    }
    int Available() override
    {
        std::lock_guard<std::recursive_mutex> guard(AlDevice::Lock());
        ALCint frames = 0;
        alcGetIntegerv(m_Device, ALC_CAPTURE_SAMPLES, 1, &frames);
        return frames;
    }
    void Read(void* frames, int count) override
    {
        std::lock_guard<std::recursive_mutex> guard(AlDevice::Lock());
        alcCaptureSamples(m_Device, frames, count);
    }

private:
    ALCdevice* m_Device;
};

}  // namespace

std::unique_ptr<CaptureSource> OpenCaptureSource(const std::string& name, int rate, int channels, int bits)
{
    if (gFactory) {
        return gFactory(name, rate, channels, bits);
    }
    const ALCenum format = channels == 2 ? (bits == 16 ? AL_FORMAT_STEREO16 : AL_FORMAT_STEREO8)
                                         : (bits == 16 ? AL_FORMAT_MONO16 : AL_FORMAT_MONO8);
    std::lock_guard<std::recursive_mutex> guard(AlDevice::Lock());
    // Room for half a second between two reads.
    ALCdevice* device = alcCaptureOpenDevice(name.empty() ? nullptr : name.c_str(), ALCuint(rate), format,
                                             ALCsizei(rate / 2));
    if (!device) {
        return nullptr;
    }
    return std::make_unique<AlCaptureSource>(device);
}

std::vector<std::string> CaptureDeviceNames()
{
    if (gFactory) {
        return gNames;
    }
    std::lock_guard<std::recursive_mutex> guard(AlDevice::Lock());
    std::vector<std::string> names;
    for (const ALCchar* list = alcGetString(nullptr, ALC_CAPTURE_DEVICE_SPECIFIER); list && *list;) {
        names.emplace_back(list);
        list += names.back().size() + 1;
    }
    return names;
}

void SetCaptureSourceFactory(CaptureSourceFactory factory, std::vector<std::string> names)
{
    gFactory = std::move(factory);
    gNames = std::move(names);
}

}  // namespace platform::dsound
