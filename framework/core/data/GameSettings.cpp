#include "framework/core/data/GameSettings.h"

namespace Qmv2 {

void GameSettings::Save(PropertyNode* node) const
{
    node = PropertyNode::AsNode(node);
    node->AddBoolean("fullscreen", IsFullscreen());
    node->AddBoolean("usehints", GetUseHints());
    node->AddChild(new PropertyValue("soundvolume", GetSoundVolume()));
    node->AddChild(new PropertyValue("musicvolume", GetMusicVolume()));
}

void GameSettings::Load(PropertyNode* node)
{
    node = PropertyNode::AsNode(node);
    if (node->HasChild("fullscreen")) {
        SetFullscreen(node->GetValue("fullscreen")->GetBool());
    }
    if (node->HasChild("usehints")) {
        SetUseHints(node->GetValue("usehints")->GetBool());
    }
    if (node->HasChild("soundvolume")) {
        SetSoundVolume(node->GetValue("soundvolume")->GetFloat());
    }
    if (node->HasChild("musicvolume")) {
        SetMusicVolume(node->GetValue("musicvolume")->GetFloat());
    }
    if (node->HasChild("onlinescores")) {
        m_OnlineScores = node->GetValue("onlinescores")->GetBool();
    }
    if (node->HasChild("showmoregames")) {
        m_ShowMoreGames = node->GetValue("showmoregames")->GetBool();
    }
    if (node->HasChild("moregamesurl")) {
        m_MoreGamesURL = node->GetString("moregamesurl");
    }
}

void GameSettings::CopyFrom(const GameSettings& other)
{
    SetFullscreen(other.IsFullscreen());
    SetUseHints(other.GetUseHints());
    SetSoundVolume(other.GetSoundVolume());
    SetMusicVolume(other.GetMusicVolume());
}

}  // namespace Qmv2
