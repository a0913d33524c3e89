// The sound resource ("Sound"): a sound file loaded as one engine sample, with
// the volume, pan and pitch factors of its description.
#pragma once

#include <string>

#include "framework/core/files/ResourceObject.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/sound/Sound.h"
#include "framework/sound/SoundRecords.h"

namespace Qmv2 {

class ResourceSound : public ResourceObject {
    QMV_INDEXED_TYPE(ResourceSound)

    // The resource keys, then "volume", "panning" and "pitch" (each 1.0 when
    // absent); nothing is loaded yet.
    explicit ResourceSound(PropertyNode* description);

    // "Object: <length> ms|NULL; Volume: <v>; " and the resource's own text.
    std::string ToString() const override;
    // Makes the sound and loads its sample; a file missing on disk is error
    // 2, a file the engine refuses error 0.
    void Load() override;
    BaseObject* GetContent() override { return m_Sound.Get(); }
    void Unload() override;

    Sound* GetSound() const { return m_Sound.Get(); }
    float GetVolume() const { return m_Volume; }
    float GetPanning() const { return m_Panning; }
    float GetPitch() const { return m_Pitch; }

private:
    SmartPtr<Sound> m_Sound;
    float m_Volume = 1.0f;
    float m_Panning = 1.0f;
    float m_Pitch = 1.0f;
};

}  // namespace Qmv2
