#include "framework/sound/ResourceSound.h"

#include <cstdio>

#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/core/util/FileSystem.h"

namespace Qmv2 {

ResourceSound::ResourceSound(PropertyNode* description) : ResourceObject(description)
{
    const PropertyNode& node = *PropertyNode::AsNode(description);
    if (node.HasChild("volume")) {
        m_Volume = node.GetValue("volume")->GetFloat();
    }
    if (node.HasChild("panning")) {
        m_Panning = node.GetValue("panning")->GetFloat();
    }
    if (node.HasChild("pitch")) {
        m_Pitch = node.GetValue("pitch")->GetFloat();
    }
}

std::string ResourceSound::ToString() const
{
    const std::string length = m_Sound ? std::to_string(m_Sound->GetLengthMs()) + " ms" : std::string("NULL");
    char volume[64];
    std::snprintf(volume, sizeof volume, "%.1f", m_Volume);
    return "Object: " + length + "; Volume: " + volume + "; " + ResourceObject::ToString();
}

void ResourceSound::Load()
{
    m_Sound = new Sound(m_Volume, m_Panning, m_Pitch);
    // Sounds are plain files beside the program, whichever way they are read.
    if (!FileExists(GetFileName())) {
        SetError(kErrorFileNotFound);
        return;
    }
    if (m_Sound->Load(GetFileName(), GetLoadFlags()) == 0) {
        SetLoaded();
    } else {
        SetError(kErrorUnspecified);
    }
}

void ResourceSound::Unload()
{
    ResourceObject::Unload();
    m_Sound.Reset();
}

}  // namespace Qmv2
