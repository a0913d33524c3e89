#include "framework/scene/ModifierSound.h"

#include "framework/core/files/ResourceManager.h"
#include "framework/core/files/ResourceObject.h"
#include "framework/scene/SoundNode.h"

namespace Qmv2 {

ModifierSound::ModifierSound(const std::string& soundKey, const std::string& section)
{
    ResourceManager* resources = ResourceManager::GetInstance();
    ResourceObject* resource = resources != nullptr ? resources->GetResource(soundKey, section) : nullptr;
    BaseObject* content = resource != nullptr ? resource->GetContent() : nullptr;
    if (content != nullptr && content->IsOfType(&Sound::s_Type)) {
        m_Sound = static_cast<Sound*>(content);
    }
}

void ModifierSound::PlayOnce()
{
    if (m_Started) {
        return;
    }
    if (m_Sound) {
        m_Sound->Play(1.0f, 0.0f, 1.0f, false);
        m_Remaining = m_Sound->GetLengthMs();
        m_Started = true;
        return;
    }
    // Without a sound of its own the modifier plays a sound node it targets,
    // with the node's own settings.
    GameNode* target = GetTarget();
    if (target != nullptr && target->IsOfType(&SoundNode::s_Type)) {
        auto* node = static_cast<SoundNode*>(target);
        node->Play(node->GetVolume(), node->GetPanning(), node->GetPitch());
        m_Remaining = node->GetLengthMs();
        m_Started = true;
    }
}

void ModifierSound::Update(std::uint32_t dt)
{
    PlayOnce();
    if (m_Started && !m_FinishAtOnce) {
        const std::int64_t left = std::int64_t{m_Remaining} - dt;
        m_Remaining = left < 0 ? 0 : static_cast<std::int32_t>(left);
        if (m_Remaining > 0) {
            return;
        }
    }
    Finish();
}

void ModifierSound::Finish()
{
    Modifier::Finish();
    PlayOnce();
}

std::string ModifierSound::ToString() const
{
    return Modifier::ToString() + (m_Sound ? "Sound: <" + m_Sound->ToShortString() + ">" : std::string("NULL"));
}

}  // namespace Qmv2
