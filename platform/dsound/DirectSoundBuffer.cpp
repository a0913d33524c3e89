#include "platform/dsound/DirectSoundBuffer.h"

#include "platform/dsound/EaxPropertySet.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace platform::dsound {

namespace {

float gListenerRolloff = 1.0f;

float LinearFromCentibels(LONG centibels)
{
    return centibels <= DSBVOLUME_MIN ? 0.0f : float(std::pow(10.0, double(centibels) / 2000.0));
}

}  // namespace

DirectSoundBuffer* DirectSoundBuffer::Create(std::shared_ptr<AlDevice> device, const DSBUFFERDESC& d,
                                             HRESULT* result)
{
    const WAVEFORMATEX* f = d.lpwfxFormat;
    *result = DSERR_INVALIDPARAM;
    if (!f || f->wFormatTag != WAVE_FORMAT_PCM || (f->nChannels != 1 && f->nChannels != 2) ||
        (f->wBitsPerSample != 8 && f->wBitsPerSample != 16) || f->nSamplesPerSec < DSBFREQUENCY_MIN ||
        f->nSamplesPerSec > DSBFREQUENCY_MAX) {
        return nullptr;
    }
    const DWORD align = DWORD(f->nChannels) * f->wBitsPerSample / 8;
    if (d.dwBufferBytes < align || d.dwBufferBytes > 0x0FFFFFFFu) {
        return nullptr;
    }
    // A positional buffer is mono, as the real interface demands.
    if ((d.dwFlags & DSBCAPS_CTRL3D) && f->nChannels != 1) {
        return nullptr;
    }
    auto data = std::make_shared<BufferData>();
    data->format = *f;
    data->format.nBlockAlign = WORD(align);
    data->format.nAvgBytesPerSec = align * f->nSamplesPerSec;
    data->format.cbSize = 0;
    data->bytes.assign(d.dwBufferBytes / align * align, f->wBitsPerSample == 8 ? 0x80 : 0);
    data->committed = data->bytes;
    *result = DS_OK;
    return new DirectSoundBuffer(std::move(device), std::move(data), d.dwFlags);
}

DirectSoundBuffer::DirectSoundBuffer(std::shared_ptr<AlDevice> device, std::shared_ptr<BufferData> data,
                                     DWORD flags)
    : m_Device(std::move(device)), m_Data(std::move(data)), m_Flags(flags), m_Frequency(m_Data->format.nSamplesPerSec)
{
    std::lock_guard<std::recursive_mutex> guard(AlDevice::Lock());
    m_Voice = new Voice(m_Device, m_Data, (m_Flags & DSBCAPS_CTRL3D) != 0);
    m_Placement.dwSize = sizeof(DS3DBUFFER);
    m_Placement.flMinDistance = 1.0f;
    m_Placement.flMaxDistance = 1000000000.0f;
    m_Placement.dwInsideConeAngle = 360;
    m_Placement.dwOutsideConeAngle = 360;
    m_Placement.vConeOrientation = {0, 0, 1};
}

DirectSoundBuffer::~DirectSoundBuffer()
{
    std::lock_guard<std::recursive_mutex> guard(AlDevice::Lock());
    delete m_Voice;
}

DirectSoundBuffer* DirectSoundBuffer::Duplicate()
{
    auto* copy = new DirectSoundBuffer(m_Device, m_Data, m_Flags);
    copy->m_Volume = m_Volume;
    copy->m_Pan = m_Pan;
    copy->m_Frequency = m_Frequency;
    copy->m_Placement = m_Placement;
    std::lock_guard<std::recursive_mutex> guard(AlDevice::Lock());
    copy->ApplyGains();
    copy->m_Voice->SetPitch(float(m_Frequency) / float(m_Data->format.nSamplesPerSec));
    if (m_Flags & DSBCAPS_CTRL3D) {
        copy->m_Voice->SetPlacement(m_Placement, gListenerRolloff);
    }
    return copy;
}

HRESULT DirectSoundBuffer::QueryInterface(REFIID iid, void** object)
{
    if (object && iid == IID_IKsPropertySet && (m_Flags & DSBCAPS_CTRL3D)) {
        *object = static_cast<IKsPropertySet*>(
            new EaxPropertySet(m_Device, m_Voice, static_cast<IDirectSoundBuffer8*>(this)));
        return DS_OK;
    }
    return ComObject::QueryInterface(iid, object);
}

void* DirectSoundBuffer::Find(REFIID iid)
{
    if (iid == IID_IUnknown || iid == IID_IDirectSoundBuffer8) {
        return static_cast<IDirectSoundBuffer8*>(this);
    }
    if (iid == IID_IDirectSound3DBuffer && (m_Flags & DSBCAPS_CTRL3D)) {
        return static_cast<IDirectSound3DBuffer*>(this);
    }
    return nullptr;
}

HRESULT DirectSoundBuffer::GetCurrentPosition(DWORD* playCursor, DWORD* writeCursor)
{
    std::lock_guard<std::recursive_mutex> guard(AlDevice::Lock());
    m_Voice->Pump();
    if (playCursor) {
        *playCursor = m_Voice->PlayCursor();
    }
    if (writeCursor) {
        *writeCursor = m_Voice->WriteCursor() % DWORD(m_Data->bytes.size());
    }
    return DS_OK;
}

HRESULT DirectSoundBuffer::GetStatus(DWORD* status)
{
    if (!status) {
        return DSERR_INVALIDPARAM;
    }
    std::lock_guard<std::recursive_mutex> guard(AlDevice::Lock());
    m_Voice->Pump();
    *status = 0;
    if (m_Voice->Playing()) {
        *status = DSBSTATUS_PLAYING | (m_Voice->Looping() ? DSBSTATUS_LOOPING : 0);
    }
    return DS_OK;
}

HRESULT DirectSoundBuffer::Lock(DWORD offset, DWORD bytes, void** part1, DWORD* bytes1, void** part2,
                                DWORD* bytes2, DWORD flags)
{
    if (!part1 || !bytes1) {
        return DSERR_INVALIDPARAM;
    }
    const DWORD size = DWORD(m_Data->bytes.size());
    if (flags & DSBLOCK_FROMWRITECURSOR) {
        std::lock_guard<std::recursive_mutex> guard(AlDevice::Lock());
        offset = m_Voice->WriteCursor() % size;
    }
    if (flags & DSBLOCK_ENTIREBUFFER) {
        bytes = size;
    }
    if (offset >= size || bytes > size || bytes == 0) {
        return DSERR_INVALIDPARAM;
    }
    std::uint8_t* base = m_Data->bytes.data();
    *part1 = base + offset;
    if (offset + bytes <= size) {
        *bytes1 = bytes;
        if (part2) {
            *part2 = nullptr;
        }
        if (bytes2) {
            *bytes2 = 0;
        }
        return DS_OK;
    }
    *bytes1 = size - offset;
    if (!part2 || !bytes2) {
        return DSERR_INVALIDPARAM;
    }
    *part2 = base;
    *bytes2 = offset + bytes - size;
    return DS_OK;
}

HRESULT DirectSoundBuffer::Unlock(void* part1, DWORD bytes1, void* part2, DWORD bytes2)
{
    // Each part must lie inside the bytes Lock hands out.
    const std::uintptr_t base = reinterpret_cast<std::uintptr_t>(m_Data->bytes.data());
    const std::size_t size = m_Data->bytes.size();
    auto offset = [&](void* part, DWORD bytes, std::size_t* at) {
        const std::uintptr_t p = reinterpret_cast<std::uintptr_t>(part);
        if (!part) {
            return bytes == 0;
        }
        *at = std::size_t(p - base);
        return p >= base && *at <= size && bytes <= size - *at;
    };
    std::size_t at1 = 0, at2 = 0;
    if (!part1 || !offset(part1, bytes1, &at1) || !offset(part2, bytes2, &at2)) {
        return DSERR_INVALIDPARAM;
    }
    // What was written becomes what the voices hand to OpenAL, whole.
    std::lock_guard<std::recursive_mutex> guard(AlDevice::Lock());
    std::memcpy(m_Data->committed.data() + at1, m_Data->bytes.data() + at1, bytes1);
    if (part2) {
        std::memcpy(m_Data->committed.data() + at2, m_Data->bytes.data() + at2, bytes2);
    }
    return DS_OK;
}

HRESULT DirectSoundBuffer::Play(DWORD, DWORD, DWORD flags)
{
    std::lock_guard<std::recursive_mutex> guard(AlDevice::Lock());
    return m_Voice->Play((flags & DSBPLAY_LOOPING) != 0);
}

HRESULT DirectSoundBuffer::SetCurrentPosition(DWORD position)
{
    if (position >= m_Data->bytes.size()) {
        return DSERR_INVALIDPARAM;
    }
    std::lock_guard<std::recursive_mutex> guard(AlDevice::Lock());
    m_Voice->SetCursor(position);
    return DS_OK;
}

HRESULT DirectSoundBuffer::SetFormat(const WAVEFORMATEX*) { return DSERR_INVALIDCALL; }

void DirectSoundBuffer::ApplyGains()
{
    const float volume = LinearFromCentibels(m_Volume);
    // A positive pan takes its centibels off the left, a negative one off the right.
    const float left = volume * LinearFromCentibels(-std::max<LONG>(m_Pan, 0));
    const float right = volume * LinearFromCentibels(std::min<LONG>(m_Pan, 0));
    if (m_Flags & DSBCAPS_CTRL3D) {
        m_Voice->SetGains(volume, volume);
    } else {
        m_Voice->SetGains(left, right);
    }
}

HRESULT DirectSoundBuffer::SetVolume(LONG volume)
{
    if (!(m_Flags & DSBCAPS_CTRLVOLUME)) {
        return DSERR_CONTROLUNAVAIL;
    }
    if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) {
        return DSERR_INVALIDPARAM;
    }
    std::lock_guard<std::recursive_mutex> guard(AlDevice::Lock());
    m_Volume = volume;
    ApplyGains();
    return DS_OK;
}

HRESULT DirectSoundBuffer::SetPan(LONG pan)
{
    if (!(m_Flags & DSBCAPS_CTRLPAN) || (m_Flags & DSBCAPS_CTRL3D)) {
        return DSERR_CONTROLUNAVAIL;
    }
    if (pan < DSBPAN_LEFT || pan > DSBPAN_RIGHT) {
        return DSERR_INVALIDPARAM;
    }
    std::lock_guard<std::recursive_mutex> guard(AlDevice::Lock());
    m_Pan = pan;
    ApplyGains();
    return DS_OK;
}

HRESULT DirectSoundBuffer::SetFrequency(DWORD frequency)
{
    if (!(m_Flags & DSBCAPS_CTRLFREQUENCY)) {
        return DSERR_CONTROLUNAVAIL;
    }
    if (frequency == 0) {
        frequency = m_Data->format.nSamplesPerSec;  // 0 restores the buffer's own rate
    }
    if (frequency < DSBFREQUENCY_MIN || frequency > DSBFREQUENCY_MAX) {
        return DSERR_INVALIDPARAM;
    }
    std::lock_guard<std::recursive_mutex> guard(AlDevice::Lock());
    m_Frequency = frequency;
    m_Voice->SetPitch(float(frequency) / float(m_Data->format.nSamplesPerSec));
    return DS_OK;
}

HRESULT DirectSoundBuffer::Stop()
{
    std::lock_guard<std::recursive_mutex> guard(AlDevice::Lock());
    m_Voice->Stop();
    return DS_OK;
}

HRESULT DirectSoundBuffer::Restore() { return DS_OK; }

HRESULT DirectSoundBuffer::SetFX(DWORD count, DSEFFECTDESC* effects, DWORD* results)
{
    if (!(m_Flags & DSBCAPS_CTRLFX)) {
        return DSERR_CONTROLUNAVAIL;
    }
    if (count > 0 && !effects) {
        return DSERR_INVALIDPARAM;
    }
    std::lock_guard<std::recursive_mutex> guard(AlDevice::Lock());
    std::vector<std::shared_ptr<EffectUnit>> units;
    if (count > DWORD(m_Voice->EffectSends())) {
        return DSERR_FXUNAVAILABLE;
    }
    int replacing = 0;
    for (DWORD i = 0; i < count; ++i) {
        std::shared_ptr<EffectUnit> unit = MakeEffect(m_Device, EffectType(effects[i].guidDSFXClass));
        if (!unit) {
            return DSERR_FXUNAVAILABLE;
        }
        replacing += unit->Replaces() ? 1 : 0;
        units.push_back(std::move(unit));
    }
    // Side-by-side sends cannot put one effect that replaces the sound after another.
    if (replacing > 1) {
        return DSERR_FXUNAVAILABLE;
    }
    for (DWORD i = 0; results && i < count; ++i) {
        results[i] = 0;
    }
    m_Voice->SetEffects(std::move(units));
    return DS_OK;
}

HRESULT DirectSoundBuffer::AcquireResources(DWORD, DWORD, DWORD*) { return DS_OK; }

HRESULT DirectSoundBuffer::GetObjectInPath(REFGUID classId, DWORD index, REFIID iid, void** object)
{
    if (!object) {
        return DSERR_INVALIDPARAM;
    }
    *object = nullptr;
    const int type = EffectType(classId);
    if (type < 0 || !(iid == DSFX_InterfaceId(type))) {
        return DSERR_NOINTERFACE;
    }
    std::lock_guard<std::recursive_mutex> guard(AlDevice::Lock());
    DWORD seen = 0;
    for (const std::shared_ptr<EffectUnit>& unit : m_Voice->Effects()) {
        if (unit->Type() == type && seen++ == index) {
            *object = static_cast<IDirectSoundFX*>(new DirectSoundFX(static_cast<IDirectSoundBuffer8*>(this), unit, iid));
            return DS_OK;
        }
    }
    return DSERR_NOINTERFACE;
}

HRESULT DirectSoundBuffer::GetAllParameters(DS3DBUFFER* parameters)
{
    if (!parameters) {
        return DSERR_INVALIDPARAM;
    }
    std::lock_guard<std::recursive_mutex> guard(AlDevice::Lock());
    *parameters = m_Placement;
    return DS_OK;
}

HRESULT DirectSoundBuffer::SetAllParameters(const DS3DBUFFER* parameters, DWORD)
{
    if (!parameters) {
        return DSERR_INVALIDPARAM;
    }
    // Deferred settings take effect at once: OpenAL applies them on its next mix.
    std::lock_guard<std::recursive_mutex> guard(AlDevice::Lock());
    m_Placement = *parameters;
    m_Placement.dwSize = sizeof(DS3DBUFFER);
    m_Voice->SetPlacement(m_Placement, gListenerRolloff);
    return DS_OK;
}

HRESULT DirectSoundBuffer::SetPosition(float x, float y, float z, DWORD)
{
    std::lock_guard<std::recursive_mutex> guard(AlDevice::Lock());
    m_Placement.vPosition = {x, y, z};
    m_Voice->SetPlacement(m_Placement, gListenerRolloff);
    return DS_OK;
}

void DirectSoundBuffer::SetListenerRolloff(float rolloff)
{
    std::lock_guard<std::recursive_mutex> guard(AlDevice::Lock());
    gListenerRolloff = rolloff;
}

}  // namespace platform::dsound
