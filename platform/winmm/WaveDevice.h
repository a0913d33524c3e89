// Shared part of the wave-out and wave-in stand-ins: the SDL audio subsystem,
// device lists and names, format checks, the open SDL device, the queue of
// caller headers and the message callback.
#pragma once

#include "platform/winmm/WinMM.h"

#include <SDL2/SDL.h>

#include <deque>
#include <mutex>
#include <new>
#include <string>
#include <vector>

class WaveDevice {
 public:
    virtual ~WaveDevice();
    WaveDevice(const WaveDevice&) = delete;
    WaveDevice& operator=(const WaveDevice&) = delete;

    // Devices of one direction the audio subsystem offers (0 when it cannot start).
    static UINT DeviceCount(bool capture);
    // Name of device index (empty when the index does not exist).
    static std::string DeviceName(bool capture, UINT index);
    // Fills the capabilities record of either direction with the device's name.
    template <class Caps>
    static MMRESULT GetCaps(bool capture, UINT_PTR device, Caps* caps, UINT size) {
        if (!caps || size < sizeof(Caps)) return MMSYSERR_INVALPARAM;
        const UINT index = device == UINT_PTR(WAVE_MAPPER) ? 0 : UINT(device);
        const std::string name = DeviceName(capture, index);
        if (name.empty()) return MMSYSERR_BADDEVICEID;
        *caps = Caps{};
        name.copy(caps->szPname, MAXPNAMELEN - 1);
        caps->wChannels = 2;
        return MMSYSERR_NOERROR;
    }
    // Whether a format is plain PCM the stand-in plays: 8 or 16 bits, one or two
    // channels, a consistent block alignment.
    static bool IsPlayableFormat(const WAVEFORMATEX* format);

    // Finds a live device of this direction from its handle; null for stale handles.
    static WaveDevice* FromHandle(void* handle, bool capture);

    // Checks an open's arguments, opens a device of one direction (Device says
    // which through its kCapture) and hands out its handle, null on failure.
    template <class Device, class Handle>
    static MMRESULT OpenHandle(Handle* handle, UINT device, LPCWAVEFORMATEX format, DWORD_PTR callback,
                               DWORD_PTR instance, DWORD flags) {
        if (!handle) return MMSYSERR_INVALPARAM;
        *handle = nullptr;
        if (!IsPlayableFormat(format)) return WAVERR_BADFORMAT;
        WaveDevice* d = new (std::nothrow) Device(Device::kCapture, *format, callback, instance, flags);
        const MMRESULT result = Adopt(d, device);
        if (result == MMSYSERR_NOERROR) *handle = reinterpret_cast<Handle>(d);
        return result;
    }
    // Returns every queued header and frees the device; null answers a bad handle.
    static MMRESULT CloseHandle(WaveDevice* device);

    bool capture() const { return m_Capture; }
    const WAVEFORMATEX& format() const { return m_Format; }

    // Checks a header and marks it prepared; keptFlags of its flags stay.
    MMRESULT PrepareHeader(WAVEHDR* header, UINT size, DWORD keptFlags);
    // The device reads queued memory live: a header stays prepared until returned.
    MMRESULT UnprepareHeader(WAVEHDR* header, UINT size);
    // Queues a prepared header (WHDR_INQUEUE, no bytes recorded yet).
    MMRESULT Enqueue(WAVEHDR* header);
    // Pauses the device and returns every queued header with its message.
    MMRESULT Reset();
    bool IsQueued(const WAVEHDR* header);

 protected:
    WaveDevice(bool capture, const WAVEFORMATEX& format, DWORD_PTR callback, DWORD_PTR instance,
               DWORD flags);
    // Opens the SDL device (paused); answers an MMRESULT.
    MMRESULT OpenDevice(UINT device);
    // Opens and registers a newly created device (null when memory ran out);
    // one that does not open is deleted.
    static MMRESULT Adopt(WaveDevice* created, UINT device);
    void CloseDevice();
    void Pause(bool paused);
    // Called on the SDL audio thread with the lock held.
    virtual void Process(Uint8* stream, int bytes) = 0;
    // Called by Reset with the lock held, after the queue was emptied.
    virtual void OnReset() {}
    // Marks a header done and no longer queued. Callers may poll WHDR_DONE
    // from another thread: the flags are published last, with release order.
    static void MarkDone(WAVEHDR* header);
    // Sends a message to the caller's function; call without holding the lock.
    void Notify(UINT message, WAVEHDR* header);
    void Register();

    std::mutex m_Lock;
    std::deque<WAVEHDR*> m_Queue;
    std::vector<WAVEHDR*> m_Finished;  // done in the last callback, to be announced

 private:
    static void SdlCallback(void* user, Uint8* stream, int bytes);

    bool m_Capture;
    WAVEFORMATEX m_Format;
    DWORD_PTR m_Callback;
    DWORD_PTR m_Instance;
    DWORD m_Flags;
    SDL_AudioDeviceID m_Device = 0;
    bool m_SubsystemHeld = false;
    bool m_Registered = false;
};
