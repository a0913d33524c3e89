// The player's settings: full screen, hints, effects and music volume, and
// three read-only switches for the online features. The game's subclass
// supplies its defaults; these are the framework's own.
#pragma once

#include <string>

#include "framework/core/object/BaseObject.h"
#include "framework/core/object/ClassRecords.h"
#include "framework/core/properties/PropertyNode.h"

namespace Qmv2 {

class GameSettings : public BaseObject {
    QMV_INDEXED_TYPE(GameSettings)

    GameSettings() = default;
    ~GameSettings() override = default;

    // Writes "fullscreen", "usehints" (Boolean), "soundvolume" and "musicvolume" (Float).
    virtual void Save(PropertyNode* node) const;
    // Reads every key the node has; a missing key leaves its field unchanged.
    virtual void Load(PropertyNode* node);
    // Copies the four settings the player can change.
    virtual void CopyFrom(const GameSettings& other);

    virtual bool IsFullscreen() const { return m_Fullscreen; }
    virtual bool GetUseHints() const { return m_UseHints; }
    virtual float GetSoundVolume() const { return m_SoundVolume; }
    virtual float GetMusicVolume() const { return m_MusicVolume; }
    virtual void SetFullscreen(bool fullscreen) { m_Fullscreen = fullscreen; }
    virtual void SetUseHints(bool useHints) { m_UseHints = useHints; }
    virtual void SetSoundVolume(float volume) { m_SoundVolume = volume; }
    virtual void SetMusicVolume(float volume) { m_MusicVolume = volume; }
    virtual bool GetOnlineScores() const { return m_OnlineScores; }
    virtual bool GetShowMoreGames() const { return m_ShowMoreGames; }
    virtual const std::string& GetMoreGamesURL() const { return m_MoreGamesURL; }

protected:
    bool m_Fullscreen = true;
    bool m_UseHints = true;
    float m_SoundVolume = 0.5f;
    float m_MusicVolume = 0.5f;
    bool m_OnlineScores = true;
    bool m_ShowMoreGames = true;
    std::string m_MoreGamesURL;
};

}  // namespace Qmv2
