// Where DirectSound capture gets its sound: an OpenAL Soft capture device. A
// test may put a source of its own in its place (SetCaptureSourceFactory).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform::dsound {

class CaptureSource {
public:
    virtual ~CaptureSource() = default;
    virtual bool Start() = 0;
    virtual void Stop() = 0;
    // Frames ready to be read now.
    virtual int Available() = 0;
    // Reads count frames (count no more than Available()).
    virtual void Read(void* frames, int count) = 0;
};

// Opens the named capture device (empty: the default) for PCM of the given
// rate, channels (1 or 2) and bits (8 or 16); null when it cannot.
using CaptureSourceFactory = std::function<std::unique_ptr<CaptureSource>(
    const std::string& name, int rate, int channels, int bits)>;

std::unique_ptr<CaptureSource> OpenCaptureSource(const std::string& name, int rate, int channels, int bits);
std::vector<std::string> CaptureDeviceNames();

// Test hook: sources come from the factory and the device list is names.
// An empty factory restores OpenAL.
void SetCaptureSourceFactory(CaptureSourceFactory factory, std::vector<std::string> names);

}  // namespace platform::dsound
