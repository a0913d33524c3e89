#include "framework/sound/SoundStream.h"

#include <cmath>

#include "framework/core/properties/PropertyStore.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/core/properties/PropertyVector.h"
#include "framework/sound/SoundManager.h"

namespace Qmv2 {

SoundStream::~SoundStream()
{
    // A closed engine has already freed every stream it opened.
    if (m_Stream != nullptr && SoundManager::IsSoundUp() && m_Session == SoundManager::GetEngineSession()) {
        OSND_Stream_Close(m_Stream);
    }
}

void SoundStream::SetStream(OSND_STREAM* stream)
{
    m_Stream = stream;
    m_Session = SoundManager::GetEngineSession();
}

void SoundStream::SetFade(float from, float to, std::int32_t duration)
{
    if (duration <= 0) {
        duration = 1;
    }
    m_FadeCurrent = from;
    m_FadeTarget = to;
    m_FadeStep = std::fabs(to - from) / static_cast<float>(duration);
}

void SoundStream::AdvanceFade(std::int32_t elapsed)
{
    const float distance = m_FadeStep * static_cast<float>(elapsed > 0 ? elapsed : 0);
    if (m_FadeTarget > m_FadeCurrent) {
        m_FadeCurrent += distance;
        if (m_FadeCurrent > m_FadeTarget) {
            m_FadeCurrent = m_FadeTarget;
        }
    } else if (m_FadeTarget < m_FadeCurrent) {
        m_FadeCurrent -= distance;
        if (m_FadeCurrent < m_FadeTarget) {
            m_FadeCurrent = m_FadeTarget;
        }
    }
}

bool SoundStream::LoadSyncPoints(const std::string& path)
{
    SmartPtr<PropertyStore> store(new PropertyStore(path));
    // The caller found the file on disk.
    store->SetLoadFlags(0);
    m_SyncPointFileName = path;
    if (!store->Load() || !store->HasChild("SyncPoints")) {
        return false;
    }
    // The list is written as a vector; a node of child nodes reads the same.
    AbstractProperty* list = store->GetChild("SyncPoints");
    auto append = [this](AbstractProperty* entry) {
        m_SyncPoints.PushBack(PropertyNode::AsNode(entry)->GetValue("value")->GetInt());
    };
    if (auto* vector = dynamic_cast<PropertyVector*>(list)) {
        for (const SmartPtr<AbstractProperty>& entry : vector->GetItems()) {
            append(entry.Get());
        }
    } else {
        for (const auto& entry : PropertyNode::AsNode(list)->GetChildren()) {
            append(entry.Get());
        }
    }
    return true;
}

}  // namespace Qmv2
