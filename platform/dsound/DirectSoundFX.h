// The effects of a buffer's path on OpenAL Soft's EFX effects. OpenAL sends a
// voice to its effect slots side by side, not one after another, so a path
// holds at most as many effects as the device has sends, and at most one of
// those that replace the sound (compressor, distortion, gargle, equaliser);
// the others are mixed in with the dry sound at their wet/dry mix.
#pragma once

#include "platform/dsound/ComObject.h"
#include "platform/dsound/DSound.h"

#include <AL/al.h>

#include <memory>
#include <vector>

namespace platform::dsound {

class AlDevice;

// One effect of a path: its EFX effect and the slot the voice sends to.
class EffectUnit {
public:
    EffectUnit(std::shared_ptr<AlDevice> device, int type, ALuint effect, ALuint slot);
    ~EffectUnit();
    int Type() const { return m_Type; }
    ALuint Slot() const { return m_Slot; }
    // Whether the effect's output replaces the dry sound.
    bool Replaces() const;
    // The share of the dry sound kept and the send's gain, from the wet/dry mix.
    float DryGain() const;
    float WetGain() const;
    bool SetParameters(const void* record);
    void GetParameters(void* record) const;

private:
    std::shared_ptr<AlDevice> m_Device;
    int m_Type;
    ALuint m_Effect;
    ALuint m_Slot;
    std::vector<unsigned char> m_Record;
};

// The effect type of a class identifier, or -1.
int EffectType(REFGUID classId);
// Makes the EFX effect and slot for a type; null when OpenAL has none.
std::shared_ptr<EffectUnit> MakeEffect(const std::shared_ptr<AlDevice>& device, int type);

// An effect's interface as GetObjectInPath answers it; holds its buffer.
class DirectSoundFX final : public ComObject<IDirectSoundFX> {
public:
    DirectSoundFX(IUnknown* owner, std::shared_ptr<EffectUnit> unit, REFIID iid);
    ~DirectSoundFX() override;
    HRESULT SetAllParameters(const void* parameters) override;
    HRESULT GetAllParameters(void* parameters) override;

private:
    void* Find(REFIID iid) override;
    IUnknown* m_Owner;
    std::shared_ptr<EffectUnit> m_Unit;
    GUID m_Interface;
};

}  // namespace platform::dsound
