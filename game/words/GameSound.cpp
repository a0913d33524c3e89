#include "game/words/GameSound.h"

#include "framework/core/files/ResourceManager.h"
#include "framework/core/files/ResourceObject.h"
#include "framework/sound/Sound.h"

void PlayGameSound(const std::string& name, const std::string& section)
{
    using namespace Qmv2;
    ResourceManager* resources = ResourceManager::GetInstance();
    ResourceObject* resource = resources != nullptr ? resources->GetResource(name, section) : nullptr;
    BaseObject* content = resource != nullptr ? resource->GetContent() : nullptr;
    if (content != nullptr && content->IsOfType(&Sound::s_Type)) {
        static_cast<Sound*>(content)->Play(1.0f, 0.0f, 1.0f, false);
    }
}
