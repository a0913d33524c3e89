// A secondary DirectSound buffer (and, with DSBCAPS_CTRL3D, its 3D buffer
// interface) over a Voice.
#pragma once

#include "platform/dsound/ComObject.h"
#include "platform/dsound/Voice.h"

#include <atomic>

namespace platform::dsound {

class DirectSoundBuffer final : public ComObject<IDirectSoundBuffer8, IDirectSound3DBuffer> {
public:
    // Checks the description and answers a zeroed buffer, or null with the reason in *result.
    static DirectSoundBuffer* Create(std::shared_ptr<AlDevice> device, const DSBUFFERDESC& description,
                                     HRESULT* result);
    // A new buffer on the same bytes, with the original's settings.
    DirectSoundBuffer* Duplicate();

    // A positional buffer also answers IKsPropertySet with a new property set.
    HRESULT QueryInterface(REFIID iid, void** object) override;

    HRESULT GetCurrentPosition(DWORD* playCursor, DWORD* writeCursor) override;
    HRESULT GetStatus(DWORD* status) override;
    HRESULT Lock(DWORD offset, DWORD bytes, void** part1, DWORD* bytes1, void** part2, DWORD* bytes2,
                 DWORD flags) override;
    HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) override;
    HRESULT SetCurrentPosition(DWORD position) override;
    HRESULT SetFormat(const WAVEFORMATEX* format) override;
    HRESULT SetVolume(LONG volume) override;
    HRESULT SetPan(LONG pan) override;
    HRESULT SetFrequency(DWORD frequency) override;
    HRESULT Stop() override;
    HRESULT Unlock(void* part1, DWORD bytes1, void* part2, DWORD bytes2) override;
    HRESULT Restore() override;
    HRESULT SetFX(DWORD count, DSEFFECTDESC* effects, DWORD* results) override;
    HRESULT AcquireResources(DWORD flags, DWORD count, DWORD* results) override;
    HRESULT GetObjectInPath(REFGUID classId, DWORD index, REFIID iid, void** object) override;

    HRESULT GetAllParameters(DS3DBUFFER* parameters) override;
    HRESULT SetAllParameters(const DS3DBUFFER* parameters, DWORD apply) override;
    HRESULT SetPosition(float x, float y, float z, DWORD apply) override;

    // The rolloff the listener gives every positional buffer.
    static void SetListenerRolloff(float rolloff);

private:
    DirectSoundBuffer(std::shared_ptr<AlDevice> device, std::shared_ptr<BufferData> data, DWORD flags);
    ~DirectSoundBuffer() override;
    void* Find(REFIID iid) override;
    void ApplyGains();

    std::shared_ptr<AlDevice> m_Device;
    std::shared_ptr<BufferData> m_Data;
    DWORD m_Flags;
    Voice* m_Voice;
    LONG m_Volume = 0;
    LONG m_Pan = 0;
    DWORD m_Frequency;
    DS3DBUFFER m_Placement{};
};

}  // namespace platform::dsound
