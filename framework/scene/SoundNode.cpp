#include "framework/scene/SoundNode.h"

#include <algorithm>

#include "framework/core/app/GameWindow.h"
#include "framework/core/files/ResourceManager.h"
#include "framework/core/files/ResourceObject.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/sound/SoundManager.h"
#include "sound/include/osnd.h"

namespace Qmv2 {

SoundNode::SoundNode(PropertyNode* description) : GameNode(description)
{
    const PropertyNode* node = description != nullptr ? PropertyNode::AsNode(description) : nullptr;
    if (node == nullptr) {
        return;
    }
    auto flag = [node](const char* key, bool& field) {
        if (node->HasChild(key)) {
            field = node->GetValue(key)->GetBool();
        }
    };
    auto number = [node](const char* key, std::int32_t& field) {
        if (node->HasChild(key)) {
            field = node->GetValue(key)->GetInt();
        }
    };
    auto real = [node](const char* key, float& field) {
        if (node->HasChild(key)) {
            field = node->GetValue(key)->GetFloat();
        }
    };
    if (node->HasChild("sound") && node->HasChild("section")) {
        m_Sound = nullptr;
        ResourceManager* resources = ResourceManager::GetInstance();
        ResourceObject* resource =
            resources != nullptr ? resources->GetResource(node->GetString("sound"), node->GetString("section")) : nullptr;
        BaseObject* content = resource != nullptr ? resource->GetContent() : nullptr;
        if (content != nullptr && content->IsOfType(&Sound::s_Type)) {
            m_Sound = static_cast<Sound*>(content);
        }
    }
    flag("looped", m_Looped);
    real("volume", m_Volume);
    real("panning", m_Panning);
    real("pitch", m_Pitch);
    flag("screenpospanning", m_ScreenPosPanning);
    number("panminx", m_PanMinX);
    number("panmaxx", m_PanMaxX);
    real("panminvalue", m_PanMinValue);
    real("panmaxvalue", m_PanMaxValue);
    flag("forcedrestart", m_ForcedRestart);
    flag("forcedstop", m_ForcedStop);
    number("maxusers", m_MaxUsers);
    number("minstartinterval", m_MinStartInterval);
}

SoundNode::~SoundNode()
{
    if (m_Channel >= 0 && SoundManager::IsSoundUp()) {
        OSND_StopSound(m_Channel);
    }
}

std::int32_t SoundNode::GetLengthMs() const
{
    return m_Sound != nullptr ? m_Sound->GetLengthMs() : 0;
}

std::int32_t SoundNode::Play(float volume, float pan, float pitch)
{
    if (!SoundManager::IsSoundUp() || m_Sound == nullptr) {
        return -1;
    }
    if (!m_ForcedRestart && m_Users >= m_MaxUsers) {
        if (m_Looped || GetLengthMs() - m_Remaining < m_MinStartInterval) {
            ++m_Users;
            return m_Channel;
        }
    }
    // The node keeps one channel: a looped copy it let go of would play on
    // for ever, out of reach of Stop.
    if (m_Looped && m_Channel >= 0) {
        OSND_StopSound(m_Channel);
    }
    m_Channel = m_Sound->Play(volume, pan, pitch, m_Looped);
    m_Remaining = GetLengthMs();
    m_Playing = m_Channel >= 0;
    ++m_Users;
    return m_Channel;
}

bool SoundNode::Stop()
{
    if (!SoundManager::IsSoundUp()) {
        return false;
    }
    if (m_Users > 0) {
        m_Users = m_ForcedStop ? 0 : std::max(m_Users - 1, 0);
        if (m_Users > 0) {
            return false;
        }
    } else if (!m_ForcedStop) {
        return false;
    }
    const bool stopped = m_Channel >= 0 && OSND_StopSound(m_Channel);
    m_Channel = -1;
    m_Playing = false;
    return stopped;
}

void SoundNode::SetPan(float pan)
{
    if (!SoundManager::IsSoundUp()) {
        return;
    }
    m_Panning = std::clamp(pan, std::min(m_PanMinValue, m_PanMaxValue), std::max(m_PanMinValue, m_PanMaxValue));
    const float factor = m_Sound != nullptr ? m_Sound->GetPanFactor() : 1.0f;
    if (m_Channel >= 0) {
        OSND_SetPan(m_Channel, static_cast<int>(m_Panning * factor * 127.0f) + 128);
    }
}

void SoundNode::Update(std::int32_t dt)
{
    if (!SoundManager::IsSoundUp()) {
        return;
    }
    if (m_Remaining > 0) {
        m_Remaining -= dt;
        if (!m_Looped && m_Remaining <= 0 && m_Users > 0) {
            // The sound has played out: that is one user's stop; the sound
            // ends when no other user still counts on it (or on a forced stop).
            Stop();
        }
    }
    if (m_ScreenPosPanning && GetParent() != nullptr) {
        GameWindow* window = GameWindow::GetInstance();
        const float width = window != nullptr && window->GetWidth() > 0 ? static_cast<float>(window->GetWidth()) : 800.0f;
        SetPan(GetParent()->GetGlobalX() / width);
    }
}

}  // namespace Qmv2
