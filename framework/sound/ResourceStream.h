// The music resource ("Stream"): a music file played as an engine stream by
// the sound manager, with its volume, pan and optional sync-point file.
#pragma once

#include <string>

#include "framework/core/files/ResourceObject.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/sound/SoundStream.h"
#include "framework/sound/SoundRecords.h"

namespace Qmv2 {

class ResourceStream : public ResourceObject {
    QMV_INDEXED_TYPE(ResourceStream)

    // The resource keys, then "syncpointsfile", "volume" (1.0) and "panning"
    // (0.0); nothing is loaded yet.
    explicit ResourceStream(PropertyNode* description);

    // "Object: NULL|not 0; SyncPoints: \"<file>\"" and the resource's own text.
    std::string ToString() const override;
    // Makes the stream object; the engine stream opens only when the music
    // plays (with sound up, the file is opened once here to try it). A
    // missing music file is error 2, one the engine cannot open error 4, an
    // unreadable sync-point file 5.
    void Load() override;
    BaseObject* GetContent() override { return m_Stream.Get(); }
    void Unload() override;

    SoundStream* GetStream() const { return m_Stream.Get(); }
    const std::string& GetSyncPointsFile() const { return m_SyncPointsFile; }
    float GetVolume() const { return m_Volume; }
    float GetPanning() const { return m_Panning; }

private:
    SmartPtr<SoundStream> m_Stream;
    std::string m_SyncPointsFile;
    float m_Volume = 1.0f;
    float m_Panning = 0.0f;
};

}  // namespace Qmv2
