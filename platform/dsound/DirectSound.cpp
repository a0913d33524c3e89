// The device object, its primary buffer with the 3D listener, enumeration and
// the entry points.
#include "platform/dsound/ComObject.h"
#include "platform/dsound/DeviceList.h"
#include "platform/dsound/DirectSoundBuffer.h"

#include <algorithm>
#include <cstring>

namespace platform::dsound {

namespace {

// Identifiers handed out for the listed devices: the device's index in Data1.
constexpr GUID kDeviceGuidBase = {0, 0x7a31, 0x4d0b, {0x91, 0x5e, 0x44, 0x53, 0x6f, 0x75, 0x6e, 0x64}};

// How many voices the device offers for positional and plain buffers.
constexpr DWORD kVoices = 32;

class PrimaryBuffer final : public ComObject<IDirectSoundBuffer, IDirectSound3DListener> {
public:
    explicit PrimaryBuffer(std::shared_ptr<AlDevice> device, bool listener)
        : m_Device(std::move(device)), m_Listener(listener)
    {
    }

    void* Find(REFIID iid) override
    {
        if (iid == IID_IUnknown) {
            return static_cast<IDirectSoundBuffer*>(this);
        }
        return iid == IID_IDirectSound3DListener && m_Listener ? static_cast<IDirectSound3DListener*>(this) : nullptr;
    }

    // The device mixes every buffer itself; its output format is OpenAL's.
    HRESULT SetFormat(const WAVEFORMATEX* format) override
    {
        if (!format || format->wFormatTag != WAVE_FORMAT_PCM || format->nChannels == 0) {
            return DSERR_INVALIDPARAM;
        }
        return DS_OK;
    }
    HRESULT GetCurrentPosition(DWORD* play, DWORD* write) override
    {
        if (play) {
            *play = 0;
        }
        if (write) {
            *write = 0;
        }
        return DS_OK;
    }
    HRESULT GetStatus(DWORD* status) override
    {
        if (!status) {
            return DSERR_INVALIDPARAM;
        }
        *status = DSBSTATUS_PLAYING | DSBSTATUS_LOOPING;
        return DS_OK;
    }
    HRESULT Lock(DWORD, DWORD, void**, DWORD*, void**, DWORD*, DWORD) override { return DSERR_INVALIDCALL; }
    HRESULT Play(DWORD, DWORD, DWORD) override { return DS_OK; }
    HRESULT SetCurrentPosition(DWORD) override { return DSERR_INVALIDCALL; }
    HRESULT SetVolume(LONG) override { return DSERR_CONTROLUNAVAIL; }
    HRESULT SetPan(LONG) override { return DSERR_CONTROLUNAVAIL; }
    HRESULT SetFrequency(DWORD) override { return DSERR_CONTROLUNAVAIL; }
    HRESULT Stop() override { return DS_OK; }
    HRESULT Unlock(void*, DWORD, void*, DWORD) override { return DSERR_INVALIDCALL; }
    HRESULT Restore() override { return DS_OK; }

    HRESULT SetAllParameters(const DS3DLISTENER* l, DWORD) override
    {
        if (!l) {
            return DSERR_INVALIDPARAM;
        }
        std::lock_guard<std::recursive_mutex> guard(AlDevice::Lock());
        m_Device->MakeCurrent();
        // Left-handed (z into the screen) to OpenAL's right-handed coordinates.
        alListener3f(AL_POSITION, l->vPosition.x, l->vPosition.y, -l->vPosition.z);
        alListener3f(AL_VELOCITY, l->vVelocity.x, l->vVelocity.y, -l->vVelocity.z);
        const ALfloat orientation[6] = {l->vOrientFront.x, l->vOrientFront.y, -l->vOrientFront.z,
                                        l->vOrientTop.x,   l->vOrientTop.y,   -l->vOrientTop.z};
        alListenerfv(AL_ORIENTATION, orientation);
        alDopplerFactor(std::max(l->flDopplerFactor, 0.0f));
        // The distance factor is metres per unit: sound covers 343.3 m a second.
        if (l->flDistanceFactor > 0.0f) {
            alSpeedOfSound(343.3f / l->flDistanceFactor);
        }
        DirectSoundBuffer::SetListenerRolloff(l->flRolloffFactor);
        return DS_OK;
    }
    HRESULT CommitDeferredSettings() override { return DS_OK; }

private:
    std::shared_ptr<AlDevice> m_Device;
    bool m_Listener;
};

class DirectSoundDevice final : public ComObject<IDirectSound8> {
public:
    explicit DirectSoundDevice(std::shared_ptr<AlDevice> device) : m_Device(std::move(device)) {}

    void* Find(REFIID iid) override
    {
        return iid == IID_IUnknown || iid == IID_IDirectSound8 ? static_cast<IDirectSound8*>(this) : nullptr;
    }

    HRESULT CreateSoundBuffer(const DSBUFFERDESC* d, IDirectSoundBuffer** buffer, IUnknown* outer) override
    {
        if (!d || !buffer || outer || d->dwSize < 20) {
            return DSERR_INVALIDPARAM;
        }
        *buffer = nullptr;
        if (!m_Cooperative) {
            return DSERR_INVALIDCALL;
        }
        if (d->dwFlags & DSBCAPS_PRIMARYBUFFER) {
            *buffer = new PrimaryBuffer(m_Device, (d->dwFlags & DSBCAPS_CTRL3D) != 0);
            return DS_OK;
        }
        HRESULT result = DS_OK;
        DirectSoundBuffer* created = DirectSoundBuffer::Create(m_Device, *d, &result);
        *buffer = created ? static_cast<IDirectSoundBuffer8*>(created) : nullptr;
        return result;
    }

    HRESULT GetCaps(DSCAPS* caps) override
    {
        if (!caps || caps->dwSize != sizeof(DSCAPS)) {
            return DSERR_INVALIDPARAM;
        }
        std::memset(caps, 0, sizeof(DSCAPS));
        caps->dwSize = sizeof(DSCAPS);
        caps->dwMinSecondarySampleRate = DSBFREQUENCY_MIN;
        caps->dwMaxSecondarySampleRate = DSBFREQUENCY_MAX;
        caps->dwPrimaryBuffers = 1;
        // Every buffer plays on an OpenAL source: the device's sources are
        // the hardware buffers, those its voices hold are in use. Positional
        // buffers play mono sources, of which at most kVoices are given to
        // them, so that a device that grants hundreds still counts as one
        // with hardware 3D.
        const AlDevice::Sources s = m_Device->CountSources();
        const DWORD all = DWORD(s.mono + s.stereo), held = std::min(DWORD(s.held), all);
        const DWORD positional = std::min(DWORD(s.mono), kVoices);
        caps->dwMaxHwMixingAllBuffers = caps->dwMaxHwMixingStreamingBuffers = all;
        caps->dwFreeHwMixingAllBuffers = caps->dwFreeHwMixingStreamingBuffers = all - held;
        caps->dwMaxHw3DAllBuffers = caps->dwMaxHw3DStreamingBuffers = positional;
        caps->dwFreeHw3DAllBuffers = caps->dwFreeHw3DStreamingBuffers =
            std::min(positional - std::min(DWORD(s.heldPositional), positional), all - held);
        return DS_OK;
    }

    HRESULT DuplicateSoundBuffer(IDirectSoundBuffer* original, IDirectSoundBuffer** duplicate) override
    {
        if (!original || !duplicate) {
            return DSERR_INVALIDPARAM;
        }
        *duplicate = nullptr;
        auto* buffer = dynamic_cast<DirectSoundBuffer*>(original);
        if (!buffer) {
            return DSERR_INVALIDCALL;  // the primary buffer has no duplicate
        }
        *duplicate = static_cast<IDirectSoundBuffer8*>(buffer->Duplicate());
        return DS_OK;
    }

    HRESULT SetCooperativeLevel(HWND, DWORD level) override
    {
        if (level < 1 || level > 3) {
            return DSERR_INVALIDPARAM;
        }
        m_Cooperative = true;
        return DS_OK;
    }

    HRESULT SetSpeakerConfig(DWORD config) override
    {
        return (config & 0xFF) >= DSSPEAKER_HEADPHONE && (config & 0xFF) <= DSSPEAKER_5POINT1 ? DS_OK
                                                                                             : DSERR_INVALIDPARAM;
    }

private:
    std::shared_ptr<AlDevice> m_Device;
    bool m_Cooperative = false;
};

}  // namespace

}  // namespace platform::dsound

using namespace platform::dsound;

extern "C" HRESULT DirectSoundCreate8(const GUID* guid, IDirectSound8** object, IUnknown* outer)
{
    if (!object || outer) {
        return DSERR_INVALIDPARAM;
    }
    *object = nullptr;
    std::string name;
    if (!DeviceName(guid, kDeviceGuidBase, OutputDeviceNames(), &name)) {
        return DSERR_NODRIVER;
    }
    std::shared_ptr<AlDevice> device = AlDevice::Open(name);
    if (!device) {
        return DSERR_NODRIVER;
    }
    *object = new DirectSoundDevice(std::move(device));
    return DS_OK;
}

extern "C" HRESULT DirectSoundEnumerateA(LPDSENUMCALLBACKA callback, void* context)
{
    return ListDevices(OutputDeviceNames(), kDeviceGuidBase, "Primary Sound Driver", callback, context);
}
