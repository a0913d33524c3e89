// The EAX 2.0 and 3.0 property sets on OpenAL Soft's EFX: the listener set
// (reached through any positional buffer) drives one EAX reverb effect that
// every positional buffer of the device sends to; a buffer's own set sets
// the gains of its direct path and of its send.
#pragma once

#include "platform/dsound/ComObject.h"
#include "platform/dsound/DSound.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace platform::dsound {

inline constexpr GUID DSPROPSETID_EAX20_ListenerProperties = {
    0x0306A6A8, 0xB224, 0x11D2, {0x99, 0xE5, 0x00, 0x00, 0xE8, 0xD8, 0xC7, 0x22}};
inline constexpr GUID DSPROPSETID_EAX20_BufferProperties = {
    0x0306A6A7, 0xB224, 0x11D2, {0x99, 0xE5, 0x00, 0x00, 0xE8, 0xD8, 0xC7, 0x22}};
inline constexpr GUID DSPROPSETID_EAX30_ListenerProperties = {
    0xA8FA6882, 0xB476, 0x11D3, {0xBD, 0xB9, 0x00, 0xC0, 0xF0, 0x2D, 0xDF, 0x87}};
inline constexpr GUID DSPROPSETID_EAX30_BufferProperties = {
    0xA8FA6881, 0xB476, 0x11D3, {0xBD, 0xB9, 0x00, 0xC0, 0xF0, 0x2D, 0xDF, 0x87}};

// The listener's reverb, in the EAX 3.0 order (112 bytes).
struct EaxListener {
    std::uint32_t environment;
    float environmentSize, environmentDiffusion;
    std::int32_t room, roomHF, roomLF;
    float decayTime, decayHFRatio, decayLFRatio;
    std::int32_t reflections;
    float reflectionsDelay, reflectionsPan[3];
    std::int32_t reverb;
    float reverbDelay, reverbPan[3];
    float echoTime, echoDepth, modulationTime, modulationDepth;
    float airAbsorptionHF, hfReference, lfReference, roomRolloffFactor;
    std::uint32_t flags;
};
static_assert(sizeof(EaxListener) == 112, "EAX 3.0 listener record");

class AlDevice;
class Voice;

class EaxPropertySet final : public ComObject<IKsPropertySet> {
public:
    // Holds a reference to its buffer (owner) while it lives.
    EaxPropertySet(std::shared_ptr<AlDevice> device, Voice* voice, IUnknown* owner);
    ~EaxPropertySet() override;

    HRESULT Get(REFGUID set, ULONG id, void* instance, ULONG instanceBytes, void* data, ULONG dataBytes,
                ULONG* returned) override;
    HRESULT Set(REFGUID set, ULONG id, void* instance, ULONG instanceBytes, void* data, ULONG dataBytes) override;
    HRESULT QuerySupport(REFGUID set, ULONG id, ULONG* support) override;

private:
    void* Find(REFIID iid) override;
    std::shared_ptr<AlDevice> m_Device;
    Voice* m_Voice;  // the buffer's voice, alive while the buffer is
    IUnknown* m_Owner;
};

// The generic environment a device's reverb starts with.
EaxListener DefaultEaxListener();

// Test hook: consulted by every QuerySupport; answering false makes the
// property unsupported. An empty function restores full support.
void SetEaxSupportHook(std::function<bool(const GUID& set, ULONG id)> hook);

}  // namespace platform::dsound
