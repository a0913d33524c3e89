#include "framework/sound/ResourceStream.h"

#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/core/util/FileSystem.h"
#include "framework/sound/SoundManager.h"

namespace Qmv2 {

namespace {

// `name` in the current folder; the name itself when that is unknown.
std::string InCurrentDirectory(const std::string& name)
{
    const std::string folder = GetCurrentDirectory();
    return folder.empty() ? name : folder + "/" + name;
}

}  // namespace

ResourceStream::ResourceStream(PropertyNode* description) : ResourceObject(description)
{
    const PropertyNode& node = *PropertyNode::AsNode(description);
    if (node.HasChild("syncpointsfile")) {
        m_SyncPointsFile = node.GetString("syncpointsfile");
    }
    if (node.HasChild("volume")) {
        m_Volume = node.GetValue("volume")->GetFloat();
    }
    if (node.HasChild("panning")) {
        m_Panning = node.GetValue("panning")->GetFloat();
    }
}

std::string ResourceStream::ToString() const
{
    return std::string("Object: ") + (m_Stream ? "not 0" : "NULL") + "; SyncPoints: \"" + m_SyncPointsFile + "\"" +
           ResourceObject::ToString();
}

void ResourceStream::Load()
{
    m_Stream = new SoundStream;
    if (GetFileName().empty() || !FileExists(InCurrentDirectory(GetFileName()))) {
        SetError(kErrorFileNotFound);
        return;
    }
    // A piece the engine cannot open fails here, with the rest of the game's
    // data, rather than in silence when it is due.
    if (SoundManager::IsSoundUp()) {
        OSND_STREAM* trial = OSND_Stream_Open(GetFileName().c_str(), SoundManager::kMusicMode, 0, 0);
        if (trial == nullptr) {
            SetError(kErrorInvalidFormat);
            return;
        }
        OSND_Stream_Close(trial);
    }
    m_Stream->SetFileName(GetFileName());
    m_Stream->SetVolume(m_Volume);
    m_Stream->SetPan(m_Panning);
    if (!m_SyncPointsFile.empty()) {
        const std::string path = InCurrentDirectory(m_SyncPointsFile);
        if (FileExists(path) && !m_Stream->LoadSyncPoints(path)) {
            SetError(kErrorSubResource);
            return;
        }
    }
    SetLoaded();
}

void ResourceStream::Unload()
{
    ResourceObject::Unload();
    m_Stream.Reset();
}

}  // namespace Qmv2
