// One playing DirectSound buffer on an OpenAL source. The buffer's bytes stay
// in memory where Lock hands them out; the voice streams them to OpenAL a few
// milliseconds ahead of the play cursor, so that what is written behind the
// cursor (a looping mix ring) is heard on the next lap, as on the real thing.
// Every call is made holding AlDevice::Lock().
#pragma once

#include "platform/dsound/AlDevice.h"
#include "platform/dsound/DirectSoundFX.h"
#include "platform/dsound/DSound.h"

#include <deque>
#include <memory>
#include <vector>

namespace platform::dsound {

// The bytes and format of a buffer, shared by the buffer and its duplicates.
// Lock hands out `bytes`, which only the writers touch; Unlock copies what was
// written into `committed` under AlDevice::Lock(), and the voices stream from
// that copy alone, so that a block being written on another thread (the
// engine's mixer) is never heard, nor read, half-written.
struct BufferData {
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint8_t> committed;
    WAVEFORMATEX format{};
};

class Voice {
public:
    Voice(std::shared_ptr<AlDevice> device, std::shared_ptr<BufferData> data, bool positional);
    ~Voice();
    Voice(const Voice&) = delete;
    Voice& operator=(const Voice&) = delete;

    HRESULT Play(bool looping);
    void Stop();
    bool Playing() const { return m_Playing; }
    bool Looping() const { return m_Looping; }
    // Whether the voice holds one of the device's sources now, and whether
    // that source is a positional one.
    bool HoldsSource() const { return m_Source != 0; }
    bool Positional() const { return m_Positional; }
    // Byte offsets in the buffer: where OpenAL plays now, and the first byte
    // not yet handed to it.
    DWORD PlayCursor();
    DWORD WriteCursor() const { return m_Read; }
    void SetCursor(DWORD position);

    // Linear gains: left and right for a plain buffer (applied as its bytes
    // are handed over), the whole gain for a positional one.
    void SetGains(float left, float right);
    void SetPitch(float pitch);
    void SetPlacement(const DS3DBUFFER& parameters, float rolloff);
    // Gains in millibels of a positional voice's direct path and of its send
    // to the device's reverb, each overall and at high frequencies.
    void SetSendGains(std::int32_t direct, std::int32_t directHF, std::int32_t room, std::int32_t roomHF);
    // The effects the voice sends to, after the device's reverb for a positional voice.
    void SetEffects(std::vector<std::shared_ptr<EffectUnit>> effects);
    const std::vector<std::shared_ptr<EffectUnit>>& Effects() const { return m_Effects; }
    // Sends a voice has for effects of its own.
    int EffectSends() const;
    // Gives the source its filters and sends again (after the effects' mix changed).
    void Route();

    // Takes back what OpenAL has played and hands over what comes next.
    void Pump();

private:
    struct Segment {
        ALuint buffer;
        DWORD start;
        DWORD bytes;
    };
    bool EnsureSource();
    void Upload();
    void ClearQueue();
    DWORD Size() const { return DWORD(m_Data->bytes.size()); }

    std::shared_ptr<AlDevice> m_Device;
    std::shared_ptr<BufferData> m_Data;
    bool m_Positional;
    ALuint m_Source = 0;
    std::deque<Segment> m_Queued;
    std::vector<ALuint> m_Spare;
    DWORD m_Read = 0;
    DWORD m_Cursor = 0;
    bool m_Playing = false;
    bool m_Looping = false;
    float m_Left = 1.0f;
    float m_Right = 1.0f;
    float m_Pitch = 1.0f;
    DS3DBUFFER m_Placement{};
    float m_Rolloff = 1.0f;
    bool m_HavePlacement = false;
    ALuint Filter(int index);
    std::int32_t m_Gains[4] = {0, 0, 0, 0};
    static constexpr int kMaxSends = 8;
    ALuint m_Filters[kMaxSends + 1] = {};  // the direct path's, then one a send
    std::vector<std::shared_ptr<EffectUnit>> m_Effects;
};

}  // namespace platform::dsound
