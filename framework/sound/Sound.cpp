#include "framework/sound/Sound.h"

#include <algorithm>
#include <cmath>

#include "framework/core/app/TaskManager.h"
#include "framework/core/files/FileLoader.h"
#include "framework/core/properties/MemoryBuffer.h"
#include "framework/sound/SoundManager.h"

namespace Qmv2 {

bool FloatEquals(float a, float b)
{
    return std::fabs(a - b) <= 0.001f;
}

Sound::Sound(float volume, float pan, float pitch) : m_Volume(volume), m_Pan(pan), m_Pitch(pitch) {}

Sound::~Sound()
{
    FreeSample();
}

void Sound::FreeSample()
{
    // A closed engine has already freed every sample it made.
    if (m_Sample != nullptr && SoundManager::IsSoundUp() && m_Session == SoundManager::GetEngineSession()) {
        OSND_Sample_Free(m_Sample);
    }
    m_Sample = nullptr;
}

std::int32_t Sound::Play(float volume, float pan, float pitch, bool looped)
{
    if (!SoundManager::IsSoundUp() || m_Sample == nullptr || m_Session != SoundManager::GetEngineSession()) {
        return -1;
    }
    // Frames are counted from 1 here, so that 0 stands for none: without a
    // task manager every call starts a copy.
    TaskManager* tasks = TaskManager::GetInstance();
    const std::uint64_t frame = tasks != nullptr ? tasks->GetFrameCounter() + 1 : 0;
    const Started& last = m_LastStart;
    if (frame != 0 && frame == last.frame && volume == last.volume && pan == last.pan && pitch == last.pitch &&
        looped == last.looped && OSND_IsPlaying(last.channel) && OSND_GetCurrentSample(last.channel) == m_Sample) {
        return last.channel;
    }
    const std::int32_t channel = StartCopy(volume, pan, pitch, looped);
    if (channel >= 0) {
        m_LastStart = {frame, volume, pan, pitch, looped, channel};
    }
    return channel;
}

std::int32_t Sound::StartCopy(float volume, float pan, float pitch, bool looped)
{
    const float v = std::clamp(m_Volume * volume, 0.0f, 1.0f);
    const float p = std::clamp(m_Pan * pan, -1.0f, 1.0f);
    const float f = m_Pitch * pitch;
    OSND_Sample_SetMode(m_Sample, looped ? OSND_MODE_LOOP_NORMAL : OSND_MODE_LOOP_OFF);
    if (FloatEquals(v, 1.0f) && FloatEquals(p, 0.0f) && FloatEquals(f, 1.0f)) {
        return OSND_PlaySound(OSND_FREE, m_Sample);
    }
    std::int32_t defaultFrequency = 0;
    OSND_Sample_GetDefaults(m_Sample, &defaultFrequency, nullptr, nullptr, nullptr);
    // Computed wide and bounded before the conversion, so that no pitch (huge,
    // negative or not a number) can overflow it.
    const double wanted = static_cast<double>(defaultFrequency) * static_cast<double>(f);
    std::int32_t frequency = kMaxFrequency;
    if (!(wanted > kMinFrequency)) {
        frequency = kMinFrequency;
    } else if (wanted <= kMaxFrequency) {
        frequency = std::max(kMinFrequency, static_cast<std::int32_t>(wanted));
    }
    // Started paused, so that volume, pan and frequency are in place before the
    // first mixed sample.
    const std::int32_t channel = OSND_PlaySoundEx(OSND_FREE, m_Sample, nullptr, true);
    if (channel < 0) {
        return channel;
    }
    OSND_SetVolume(channel, static_cast<std::int32_t>(v * 255.0f) & 255);
    OSND_SetPan(channel, static_cast<std::int32_t>(p * 127.0f + 128.0f) & 255);
    OSND_SetFrequency(channel, frequency);
    OSND_SetPaused(channel, false);
    return channel;
}

std::int32_t Sound::GetLengthMs() const
{
    if (!SoundManager::IsSoundUp() || m_Sample == nullptr) {
        return 0;
    }
    const auto length = static_cast<std::uint64_t>(static_cast<std::uint32_t>(OSND_Sample_GetLength(m_Sample)));
    const auto rate = static_cast<std::uint32_t>(OSND_GetOutputRate());
    return rate == 0 ? 0 : static_cast<std::int32_t>(length * 1000u / rate);
}

std::int32_t Sound::Load(const std::string& fileName, std::uint32_t loadFlags)
{
    if (!SoundManager::IsSoundUp()) {
        return 0;
    }
    FreeSample();
    if ((loadFlags & LOAD_DEFAULT) != 0) {
        loadFlags = s_DefaultLoadFlags;
    }
    if (loadFlags != 0) {
        MemoryBuffer_t<unsigned char> buffer;
        if (LoadFile(fileName, buffer, LOAD_DEFAULT) && buffer.GetSize() > 0) {
            m_Sample = OSND_Sample_Load(OSND_FREE, reinterpret_cast<const char*>(buffer.GetData()), kMemoryMode, 0,
                                        static_cast<std::int32_t>(buffer.GetSize()));
        }
    } else {
        m_Sample = OSND_Sample_Load(OSND_FREE, fileName.c_str(), kFileMode, 0, 0);
    }
    m_Session = SoundManager::GetEngineSession();
    return m_Sample != nullptr ? 0 : -1;
}

}  // namespace Qmv2
