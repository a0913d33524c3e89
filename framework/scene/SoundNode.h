// A node of the scene tree that plays one sound resource: it limits how many
// plays overlap and how soon the sound may start again, stops a sound that
// does not loop when its length has run out, and can pan the sound by its
// parent's place across the window.
#pragma once

#include <cstdint>

#include "framework/core/object/ClassIndex.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/scene/GameNode.h"
#include "framework/scene/SceneRecords.h"
#include "framework/sound/Sound.h"

namespace Qmv2 {

class SoundNode : public GameNode {
    QMV_INDEXED_TYPE(SoundNode)

    // The node's keys, then "sound" with "section", "looped", "volume",
    // "panning", "pitch", "screenpospanning", "panminx", "panmaxx",
    // "panminvalue", "panmaxvalue", "forcedrestart", "forcedstop",
    // "maxusers" and "minstartinterval".
    explicit SoundNode(PropertyNode* description);
    // Stops its channel.
    ~SoundNode() override;

    // Starts the sound, or counts one more user of the running one when the
    // users are at their limit or it started too recently; the channel, or -1.
    std::int32_t Play(float volume, float pan, float pitch);
    // Drops a user (all of them with forced stop); the last one stops the
    // channel. The engine's answer, or false while users remain.
    bool Stop();
    // Pans the channel, kept within the pan range.
    void SetPan(float pan);
    // Counts the play time down, stops a sound that has run out and follows
    // the parent across the window when asked to.
    void Update(std::int32_t dt) override;

    // The sound's length in milliseconds; 0 without a sound.
    std::int32_t GetLengthMs() const;
    Sound* GetSound() const { return m_Sound.Get(); }
    void SetSound(Sound* sound) { m_Sound = sound; }
    std::int32_t GetChannel() const { return m_Channel; }
    std::int32_t GetUsers() const { return m_Users; }
    std::int32_t GetRemainingMs() const { return m_Remaining; }
    float GetVolume() const { return m_Volume; }
    float GetPanning() const { return m_Panning; }
    float GetPitch() const { return m_Pitch; }

private:
    SmartPtr<Sound> m_Sound;
    std::int32_t m_Channel = -1;
    bool m_Looped = false;
    bool m_Playing = false;
    std::int32_t m_Users = 0;
    float m_Volume = 1.0f;
    float m_Panning = 0.0f;
    float m_Pitch = 1.0f;
    bool m_ScreenPosPanning = false;
    std::int32_t m_PanMinX = -1;
    std::int32_t m_PanMaxX = -1;
    float m_PanMinValue = -1.0f;
    float m_PanMaxValue = 1.0f;
    bool m_ForcedRestart = false;
    bool m_ForcedStop = false;
    std::int32_t m_MaxUsers = 1;
    std::int32_t m_Remaining = 0;
    std::int32_t m_MinStartInterval = 200;
};

}  // namespace Qmv2
