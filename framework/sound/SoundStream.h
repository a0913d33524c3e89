// One piece of music played as an engine stream: its file, its own volume and
// pan, its fade state and the sync points added at every open. The sound
// manager opens, plays and closes the engine stream.
#pragma once

#include <cstdint>
#include <string>

#include "framework/core/object/BaseObject.h"
#include "framework/sound/SoundRecords.h"
#include "framework/core/object/GFVector.h"
#include "sound/include/osnd.h"

namespace Qmv2 {

class SoundStream : public BaseObject {
    QMV_INDEXED_TYPE(SoundStream)

    SoundStream() = default;
    SoundStream(const SoundStream&) = delete;
    SoundStream& operator=(const SoundStream&) = delete;
    // Closes the engine stream when its engine still runs.
    ~SoundStream() override;

    // Current volume = from, target = to, reached after `duration` ms (at
    // least 1).
    void SetFade(float from, float to, std::int32_t duration);
    // Moves the current volume towards the target, never past it.
    void AdvanceFade(std::int32_t elapsed);
    bool IsFadeDone() const { return m_FadeCurrent == m_FadeTarget; }

    // Reads the property file's "SyncPoints" entries, each with an integer
    // "value" (a PCM offset), in file order. False without that entry.
    bool LoadSyncPoints(const std::string& path);

    // The engine stream and the session of the engine that opened it.
    OSND_STREAM* GetStream() const { return m_Stream; }
    void SetStream(OSND_STREAM* stream);
    bool IsOpen() const { return m_Stream != nullptr; }
    std::int32_t GetChannel() const { return m_Channel; }
    void SetChannel(std::int32_t channel) { m_Channel = channel; }

    float GetVolume() const { return m_Volume; }
    void SetVolume(float volume) { m_Volume = volume; }
    float GetPan() const { return m_Pan; }
    void SetPan(float pan) { m_Pan = pan; }
    float GetFadeVolume() const { return m_FadeCurrent; }
    void SetFadeVolume(float volume) { m_FadeCurrent = volume; }
    float GetFadeTarget() const { return m_FadeTarget; }
    float GetFadeStep() const { return m_FadeStep; }
    std::int32_t GetSavedPosition() const { return m_SavedPosition; }
    void SetSavedPosition(std::int32_t position) { m_SavedPosition = position; }
    const std::string& GetFileName() const { return m_FileName; }
    void SetFileName(const std::string& name) { m_FileName = name; }
    const std::string& GetSyncPointFileName() const { return m_SyncPointFileName; }
    const GFVector<std::int32_t>& GetSyncPoints() const { return m_SyncPoints; }

private:
    OSND_STREAM* m_Stream = nullptr;
    std::uint32_t m_Session = 0;
    std::int32_t m_Channel = 0;
    float m_Volume = 1.0f;
    float m_Pan = 0.0f;
    float m_FadeCurrent = 1.0f;
    float m_FadeTarget = 1.0f;
    float m_FadeStep = 0.0f;
    std::int32_t m_SavedPosition = 0;
    std::string m_FileName;
    std::string m_SyncPointFileName;
    GFVector<std::int32_t> m_SyncPoints;
};

}  // namespace Qmv2
