// The OpenAL Soft side of the DirectSound stand-in: one output device and
// context per DirectSound object, the lock every OpenAL call is made under, and
// the feeder that keeps each playing buffer's OpenAL queue topped up from the
// buffer's memory.
#pragma once

#include <AL/al.h>
#include <AL/alc.h>

#include "platform/dsound/EaxPropertySet.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>
#include <atomic>

namespace platform::dsound {

class Voice;

class AlDevice {
public:
    // Opens the named output device (empty: the default one), or a loopback
    // device while the test hook below is set. Null when OpenAL has none.
    static std::shared_ptr<AlDevice> Open(const std::string& name);
    ~AlDevice();

    AlDevice(const AlDevice&) = delete;
    AlDevice& operator=(const AlDevice&) = delete;

    // Every OpenAL call is made holding this lock, with the device's context
    // current (MakeCurrent).
    static std::recursive_mutex& Lock();
    void MakeCurrent();

    void Add(Voice* voice);
    void Remove(Voice* voice);
    // Tops up the queue of every playing voice (lock held by the caller).
    void Pump();

    // The listener's reverb and the effect slot every positional voice sends
    // to (0 when the device has no effects).
    const EaxListener& Reverb() const { return m_Reverb; }
    void SetReverb(const EaxListener& reverb);
    ALuint ReverbSlot() const { return m_Slot; }

    // What OpenAL grants this device: its sources for mono and for stereo
    // data, the sources its voices hold now (positional ones apart), and
    // whether it has effects (EFX) for the reverb.
    struct Sources {
        int mono = 0, stereo = 0, held = 0, heldPositional = 0;
    };
    Sources CountSources();
    bool HasEffects() const { return m_Slot != 0; }

    bool IsLoopback() const { return m_Loopback; }
    ALCdevice* Device() const { return m_Device; }

private:
    AlDevice() = default;
    void FeedLoop();

    ALCdevice* m_Device = nullptr;
    ALCcontext* m_Context = nullptr;
    bool m_Loopback = false;
    std::vector<Voice*> m_Voices;
    EaxListener m_Reverb = DefaultEaxListener();
    ALuint m_Effect = 0;
    ALuint m_Slot = 0;
    std::thread m_Feeder;
    std::atomic<bool> m_Stop{false};
};

// The names of the output devices OpenAL offers (the loopback device's name
// alone while the test hook is set).
std::vector<std::string> OutputDeviceNames();

// Test hook: while rate is above 0, DirectSoundCreate8 opens an OpenAL Soft
// loopback device that renders 16-bit stereo at that rate only when asked
// (RenderLoopback), so that tests hear exactly what was played. 0 restores
// real devices.
void UseLoopbackDevice(int rate);
// Renders count frames of interleaved 16-bit stereo from the loopback device
// of the live DirectSound object, topping up the buffers every few frames as
// the feeder does on a real device. False without such a device.
bool RenderLoopback(std::int16_t* frames, int count);

}  // namespace platform::dsound
