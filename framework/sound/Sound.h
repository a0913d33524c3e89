// One loaded engine sample with its own volume, pan and pitch factors, and the
// play call that every game and widget sound goes through.
#pragma once

#include <cstdint>
#include <string>

#include "framework/core/object/BaseObject.h"
#include "framework/sound/SoundRecords.h"
#include "sound/include/osnd.h"

namespace Qmv2 {

// Whether two factors are equal within 0.001.
bool FloatEquals(float a, float b);

class Sound : public BaseObject {
    QMV_INDEXED_TYPE(Sound)

    // Sample open mode: 16-bit, mono, signed (the file's own format decides),
    // with the memory-block bit when the data comes from a buffer.
    static constexpr std::uint32_t kFileMode = 0x130;
    static constexpr std::uint32_t kMemoryMode = 0x8130;
    static constexpr std::int32_t kMinFrequency = 100;
    static constexpr std::int32_t kMaxFrequency = 705600;

    Sound(float volume = 1.0f, float pan = 1.0f, float pitch = 1.0f);
    Sound(const Sound&) = delete;
    Sound& operator=(const Sound&) = delete;
    // Frees the sample when its engine still runs.
    ~Sound() override;

    // Plays the sample on a free channel; the channel handle, or -1. Settings
    // other than neutral are in place before the first sample is mixed. A
    // copy this sound started in the same frame of the task manager, with the
    // same settings and still playing, is answered instead of a new one:
    // copies started together add up sample for sample into a louder sound.
    std::int32_t Play(float volume, float pan, float pitch, bool looped);
    // The sample's length in ms at the output rate; 0 without the engine.
    std::int32_t GetLengthMs() const;
    // Loads the sample: by the engine from the file itself (flags 0) or from
    // the whole file read through the data archive or the disk by the default
    // load flags. 0 with a sample, else -1; 0 without loading while the
    // engine is down.
    std::int32_t Load(const std::string& fileName, std::uint32_t loadFlags);

    OSND_SAMPLE* GetSample() const { return m_Sample; }
    float GetVolumeFactor() const { return m_Volume; }
    float GetPanFactor() const { return m_Pan; }
    float GetPitchFactor() const { return m_Pitch; }

private:
    void FreeSample();
    // Starts a new copy; the channel handle, or -1.
    std::int32_t StartCopy(float volume, float pan, float pitch, bool looped);

    // The last start: its frame, its arguments and its channel.
    struct Started {
        std::uint64_t frame = 0;
        float volume = 0.0f;
        float pan = 0.0f;
        float pitch = 0.0f;
        bool looped = false;
        std::int32_t channel = -1;
    };

    OSND_SAMPLE* m_Sample = nullptr;
    Started m_LastStart;
    std::uint32_t m_Session = 0;
    float m_Volume;
    float m_Pan;
    float m_Pitch;
};

}  // namespace Qmv2
