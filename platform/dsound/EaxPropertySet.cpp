#include "platform/dsound/EaxPropertySet.h"

#include "platform/dsound/AlDevice.h"
#include "platform/dsound/Voice.h"

#include <cstring>
#include <mutex>

namespace platform::dsound {

namespace {

std::function<bool(const GUID&, ULONG)> gSupportHook;

constexpr ULONG kAll = 1;

// EAX 3.0 listener properties 2..25 follow the record's fields in order; the
// two pans take three floats.
bool Eax3Field(ULONG id, std::size_t* offset, std::size_t* bytes)
{
    if (id < 2 || id > 25) {
        return false;
    }
    std::size_t at = 0;
    for (ULONG p = 2; p < id; ++p) {
        at += (p == 13 || p == 16) ? 12 : 4;
    }
    *offset = at;
    *bytes = (id == 13 || id == 16) ? 12 : 4;
    return true;
}

// The EAX 2.0 listener record, in its own order.
struct Eax2Listener {
    std::int32_t room, roomHF;
    float roomRolloffFactor, decayTime, decayHFRatio;
    std::int32_t reflections;
    float reflectionsDelay;
    std::int32_t reverb;
    float reverbDelay;
    std::uint32_t environment;
    float environmentSize, environmentDiffusion, airAbsorptionHF;
    std::uint32_t flags;
};
static_assert(sizeof(Eax2Listener) == 56, "EAX 2.0 listener record");

Eax2Listener ToEax2(const EaxListener& l)
{
    return Eax2Listener{l.room, l.roomHF, l.roomRolloffFactor, l.decayTime, l.decayHFRatio, l.reflections,
                        l.reflectionsDelay, l.reverb, l.reverbDelay, l.environment, l.environmentSize,
                        l.environmentDiffusion, l.airAbsorptionHF, l.flags};
}

void FromEax2(const Eax2Listener& e, EaxListener* l)
{
    l->room = e.room;
    l->roomHF = e.roomHF;
    l->roomRolloffFactor = e.roomRolloffFactor;
    l->decayTime = e.decayTime;
    l->decayHFRatio = e.decayHFRatio;
    l->reflections = e.reflections;
    l->reflectionsDelay = e.reflectionsDelay;
    l->reverb = e.reverb;
    l->reverbDelay = e.reverbDelay;
    l->environment = e.environment;
    l->environmentSize = e.environmentSize;
    l->environmentDiffusion = e.environmentDiffusion;
    l->airAbsorptionHF = e.airAbsorptionHF;
    l->flags = e.flags;
}

// EAX 2.0 listener properties 2..15 are the fields of its record in order.
bool Eax2Field(ULONG id, std::size_t* offset)
{
    if (id < 2 || id > 15) {
        return false;
    }
    *offset = (id - 2) * 4;
    return true;
}

bool IsListenerSet(REFGUID set)
{
    return set == DSPROPSETID_EAX30_ListenerProperties || set == DSPROPSETID_EAX20_ListenerProperties;
}

bool IsBufferSet(REFGUID set)
{
    return set == DSPROPSETID_EAX30_BufferProperties || set == DSPROPSETID_EAX20_BufferProperties;
}

}  // namespace

EaxListener DefaultEaxListener()
{
    return EaxListener{0,      7.5f,   1.0f,  -1000, -100,  0,     1.49f, 0.83f, 1.0f, -2602, 0.007f, {0, 0, 0},
                       200,    0.011f, {0, 0, 0}, 0.25f, 0.0f, 0.25f, 0.0f,  -5.0f, 5000.0f, 250.0f, 0.0f, 0x3f};
}

void SetEaxSupportHook(std::function<bool(const GUID&, ULONG)> hook) { gSupportHook = std::move(hook); }

EaxPropertySet::EaxPropertySet(std::shared_ptr<AlDevice> device, Voice* voice, IUnknown* owner)
    : m_Device(std::move(device)), m_Voice(voice), m_Owner(owner)
{
    m_Owner->AddRef();
}

EaxPropertySet::~EaxPropertySet() { m_Owner->Release(); }

void* EaxPropertySet::Find(REFIID iid)
{
    return iid == IID_IUnknown || iid == IID_IKsPropertySet ? static_cast<IKsPropertySet*>(this) : nullptr;
}

HRESULT EaxPropertySet::QuerySupport(REFGUID set, ULONG id, ULONG* support)
{
    if (!support) {
        return E_INVALIDARG;
    }
    *support = 0;
    const bool known = (set == DSPROPSETID_EAX30_ListenerProperties && id <= 25) ||
                       (set == DSPROPSETID_EAX20_ListenerProperties && id <= 15) || (IsBufferSet(set) && id <= 1);
    // The reverb and the sends behind every property are the device's effects.
    if (!known || !m_Device->HasEffects() || (gSupportHook && !gSupportHook(set, id))) {
        return E_NOTIMPL;
    }
    *support = KSPROPERTY_SUPPORT_GET | KSPROPERTY_SUPPORT_SET;
    return S_OK;
}

HRESULT EaxPropertySet::Get(REFGUID set, ULONG id, void*, ULONG, void* data, ULONG dataBytes, ULONG* returned)
{
    if (!data) {
        return E_INVALIDARG;
    }
    std::lock_guard<std::recursive_mutex> guard(AlDevice::Lock());
    const EaxListener& l = m_Device->Reverb();
    std::size_t offset = 0, bytes = 0;
    const void* from = nullptr;
    Eax2Listener two = ToEax2(l);
    if (set == DSPROPSETID_EAX30_ListenerProperties) {
        if (id == kAll) {
            from = &l;
            bytes = sizeof l;
        } else if (Eax3Field(id, &offset, &bytes)) {
            from = reinterpret_cast<const std::uint8_t*>(&l) + offset;
        }
    } else if (set == DSPROPSETID_EAX20_ListenerProperties) {
        if (id == kAll) {
            from = &two;
            bytes = sizeof two;
        } else if (Eax2Field(id, &offset)) {
            from = reinterpret_cast<const std::uint8_t*>(&two) + offset;
            bytes = 4;
        }
    }
    if (!from) {
        return E_NOTIMPL;
    }
    if (dataBytes < bytes) {
        return E_INVALIDARG;
    }
    std::memcpy(data, from, bytes);
    if (returned) {
        *returned = ULONG(bytes);
    }
    return S_OK;
}

HRESULT EaxPropertySet::Set(REFGUID set, ULONG id, void*, ULONG, void* data, ULONG dataBytes)
{
    if (!data) {
        return E_INVALIDARG;
    }
    std::lock_guard<std::recursive_mutex> guard(AlDevice::Lock());
    if (IsListenerSet(set)) {
        EaxListener l = m_Device->Reverb();
        std::size_t offset = 0, bytes = 0;
        if (set == DSPROPSETID_EAX30_ListenerProperties) {
            if (id == kAll) {
                if (dataBytes < sizeof l) {
                    return E_INVALIDARG;
                }
                std::memcpy(&l, data, sizeof l);
            } else if (Eax3Field(id, &offset, &bytes) && dataBytes >= bytes) {
                std::memcpy(reinterpret_cast<std::uint8_t*>(&l) + offset, data, bytes);
            } else {
                return E_NOTIMPL;
            }
        } else {
            Eax2Listener two = ToEax2(l);
            if (id == kAll) {
                if (dataBytes < sizeof two) {
                    return E_INVALIDARG;
                }
                std::memcpy(&two, data, sizeof two);
            } else if (Eax2Field(id, &offset) && dataBytes >= 4) {
                std::memcpy(reinterpret_cast<std::uint8_t*>(&two) + offset, data, 4);
            } else {
                return E_NOTIMPL;
            }
            FromEax2(two, &l);
        }
        m_Device->SetReverb(l);
        return S_OK;
    }
    if (IsBufferSet(set) && id == kAll && m_Voice) {
        // Both buffer records start with direct, direct HF, room and room HF.
        if (dataBytes < 16) {
            return E_INVALIDARG;
        }
        std::int32_t gains[4];
        std::memcpy(gains, data, sizeof gains);
        m_Voice->SetSendGains(gains[0], gains[1], gains[2], gains[3]);
        return S_OK;
    }
    return E_NOTIMPL;
}

}  // namespace platform::dsound
