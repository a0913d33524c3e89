#include "platform/winmm/WaveDevice.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <set>

namespace {

std::mutex& RegistryLock() {
    static std::mutex lock;
    return lock;
}

std::set<WaveDevice*>& Registry() {
    static std::set<WaveDevice*> devices;
    return devices;
}

// Keeps the audio subsystem up while a caller needs it. SDL counts the
// initialisations itself, so every successful hold is paired with one release.
bool HoldAudio() { return SDL_InitSubSystem(SDL_INIT_AUDIO) == 0; }
void ReleaseAudio() { SDL_QuitSubSystem(SDL_INIT_AUDIO); }

}  // namespace

UINT WaveDevice::DeviceCount(bool capture) {
    if (!HoldAudio()) return 0;
    const int count = SDL_GetNumAudioDevices(capture ? 1 : 0);
    ReleaseAudio();
    return count > 0 ? UINT(count) : 0;
}

std::string WaveDevice::DeviceName(bool capture, UINT index) {
    if (!HoldAudio()) return {};
    std::string name;
    if (int(index) < SDL_GetNumAudioDevices(capture ? 1 : 0)) {
        const char* text = SDL_GetAudioDeviceName(int(index), capture ? 1 : 0);
        name = text && *text ? text : (capture ? "Default capture device" : "Default output device");
    }
    ReleaseAudio();
    return name;
}

bool WaveDevice::IsPlayableFormat(const WAVEFORMATEX* f) {
    if (!f || f->wFormatTag != WAVE_FORMAT_PCM) return false;
    if (f->wBitsPerSample != 8 && f->wBitsPerSample != 16) return false;
    if (f->nChannels != 1 && f->nChannels != 2) return false;
    if (f->nSamplesPerSec < 1000 || f->nSamplesPerSec > 192000) return false;
    return f->nBlockAlign == f->nChannels * f->wBitsPerSample / 8 &&
           f->nAvgBytesPerSec == f->nBlockAlign * f->nSamplesPerSec;
}

WaveDevice* WaveDevice::FromHandle(void* handle, bool capture) {
    std::lock_guard<std::mutex> guard(RegistryLock());
    auto* device = static_cast<WaveDevice*>(handle);
    if (!Registry().count(device) || device->m_Capture != capture) return nullptr;
    return device;
}

WaveDevice::WaveDevice(bool capture, const WAVEFORMATEX& format, DWORD_PTR callback,
                       DWORD_PTR instance, DWORD flags)
    : m_Capture(capture), m_Format(format), m_Callback(callback), m_Instance(instance), m_Flags(flags) {}

WaveDevice::~WaveDevice() {
    if (m_Registered) {
        std::lock_guard<std::mutex> guard(RegistryLock());
        Registry().erase(this);
    }
    CloseDevice();
}

MMRESULT WaveDevice::Adopt(WaveDevice* created, UINT device) {
    if (!created) return MMSYSERR_NOMEM;
    const MMRESULT result = created->OpenDevice(device);
    if (result != MMSYSERR_NOERROR) {
        delete created;
        return result;
    }
    created->Register();
    return MMSYSERR_NOERROR;
}

MMRESULT WaveDevice::CloseHandle(WaveDevice* device) {
    if (!device) return MMSYSERR_INVALHANDLE;
    device->Reset();
    delete device;
    return MMSYSERR_NOERROR;
}

void WaveDevice::Register() {
    std::lock_guard<std::mutex> guard(RegistryLock());
    Registry().insert(this);
    m_Registered = true;
}

MMRESULT WaveDevice::OpenDevice(UINT device) {
    if (!HoldAudio()) return MMSYSERR_NODRIVER;
    m_SubsystemHeld = true;
    const int count = SDL_GetNumAudioDevices(m_Capture ? 1 : 0);
    if (device != WAVE_MAPPER && int(device) >= std::max(count, 1)) return MMSYSERR_BADDEVICEID;
    const char* name = nullptr;
    if (device != WAVE_MAPPER && count > 0) name = SDL_GetAudioDeviceName(int(device), m_Capture ? 1 : 0);

    SDL_AudioSpec want{};
    want.freq = int(m_Format.nSamplesPerSec);
    want.format = m_Format.wBitsPerSample == 8 ? AUDIO_U8 : AUDIO_S16LSB;
    want.channels = Uint8(m_Format.nChannels);
    // A short period: the engine writes blocks right behind the play position,
    // so the device must never read further ahead than that.
    want.samples = 512;
    want.callback = SdlCallback;
    want.userdata = this;
    SDL_AudioSpec have{};
    m_Device = SDL_OpenAudioDevice(name, m_Capture ? 1 : 0, &want, &have, 0);
    if (m_Device == 0) return count > 0 ? MMSYSERR_ALLOCATED : MMSYSERR_NODRIVER;
    return MMSYSERR_NOERROR;
}

void WaveDevice::CloseDevice() {
    if (m_Device) {
        SDL_CloseAudioDevice(m_Device);  // waits for a running callback
        m_Device = 0;
    }
    if (m_SubsystemHeld) {
        ReleaseAudio();
        m_SubsystemHeld = false;
    }
}

MMRESULT WaveDevice::PrepareHeader(WAVEHDR* header, UINT size, DWORD keptFlags) {
    if (!header || size < sizeof(WAVEHDR) || !header->lpData) return MMSYSERR_INVALPARAM;
    header->dwFlags = (header->dwFlags & keptFlags) | WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT WaveDevice::UnprepareHeader(WAVEHDR* header, UINT size) {
    if (!header || size < sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
    if (IsQueued(header)) return WAVERR_STILLPLAYING;
    header->dwFlags &= ~WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT WaveDevice::Enqueue(WAVEHDR* header) {
    if (!(header->dwFlags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
    std::lock_guard<std::mutex> guard(m_Lock);
    if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
    header->dwBytesRecorded = 0;
    m_Queue.push_back(header);
    return MMSYSERR_NOERROR;
}

MMRESULT WaveDevice::Reset() {
    Pause(true);
    std::vector<WAVEHDR*> returned;
    {
        std::lock_guard<std::mutex> guard(m_Lock);
        for (WAVEHDR* h : m_Queue) {
            MarkDone(h);
            returned.push_back(h);
        }
        m_Queue.clear();
        OnReset();
    }
    for (WAVEHDR* h : returned) Notify(m_Capture ? WIM_DATA : WOM_DONE, h);
    return MMSYSERR_NOERROR;
}

bool WaveDevice::IsQueued(const WAVEHDR* header) {
    std::lock_guard<std::mutex> guard(m_Lock);
    return std::find(m_Queue.begin(), m_Queue.end(), header) != m_Queue.end();
}

void WaveDevice::MarkDone(WAVEHDR* header) {
    const DWORD flags = (header->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
    std::atomic_ref<DWORD>(header->dwFlags).store(flags, std::memory_order_release);
}

void WaveDevice::Pause(bool paused) {
    if (m_Device) SDL_PauseAudioDevice(m_Device, paused ? 1 : 0);
}

void WaveDevice::Notify(UINT message, WAVEHDR* header) {
    if ((m_Flags & CALLBACK_TYPEMASK) != CALLBACK_FUNCTION || !m_Callback) return;
    auto function = reinterpret_cast<WAVECALLBACK>(m_Callback);
    function(static_cast<HANDLE>(this), message, m_Instance, reinterpret_cast<DWORD_PTR>(header), 0);
}

void WaveDevice::SdlCallback(void* user, Uint8* stream, int bytes) {
    auto* device = static_cast<WaveDevice*>(user);
    std::vector<WAVEHDR*> finished;
    {
        std::lock_guard<std::mutex> guard(device->m_Lock);
        device->Process(stream, bytes);
        finished.swap(device->m_Finished);
    }
    for (WAVEHDR* h : finished) device->Notify(device->m_Capture ? WIM_DATA : WOM_DONE, h);
}
