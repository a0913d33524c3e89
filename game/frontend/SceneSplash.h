// The first scene: lets the scene's own content play, shows the numbered
// splash pictures one after another (each fading in, staying and fading out)
// and, once the "preloading" section is loaded, hands over to the loading
// scene. Its timings may be overridden by an optional branding file. It takes
// no input: the sequence cannot be skipped.
#pragma once

#include <cstdint>
#include <string>

#include "framework/core/object/GFVector.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/scene/Scene.h"
#include "game/frontend/FrontendRecords.h"

namespace Qmv2 {
class Modifier;
class ResourceImage;
class Sprite;
}  // namespace Qmv2

class SceneSplash : public Qmv2::Scene {
    QMV_INDEXED_TYPE(SceneSplash)

    explicit SceneSplash(Qmv2::PropertyNode* description);
    ~SceneSplash() override;

    // The scene's components, the black cover, the branding file's timings,
    // then the first step of the sequence.
    void Load() override;
    // Once the sequence has ended and "preloading" is loaded, switches to the
    // loading scene through the splash transition.
    void Update(std::int32_t dt) override;

    // One step of the sequence; chains itself again until nothing is left.
    void ShowNextImage();

    // The file of picture `number` (".jpg" before ".png"), empty when neither
    // exists.
    static std::string PictureFile(std::int32_t number);

    static constexpr std::int32_t kScreenWidth = 800;
    static constexpr std::int32_t kScreenHeight = 600;
    // The extra time the scene's own content gets beyond a picture's stay.
    static constexpr std::int32_t kAnimationExtra = 400;
    // How long the scene waits for "preloading" before going on without it.
    static constexpr std::int32_t kPreloadLimit = 30000;

    bool IsFinished() const noexcept { return m_Finished; }
    bool IsSwitched() const noexcept { return m_Switched; }
    std::int32_t GetDisplayTime() const noexcept { return m_DisplayTime; }
    std::int32_t GetFadeTime() const noexcept { return m_FadeTime; }
    std::int32_t GetImageCount() const noexcept { return m_ImageCount; }
    bool GetShowAnimation() const noexcept { return m_ShowAnimation; }

private:
    // Appends `modifier` behind the last one of the sequence.
    void Chain(Qmv2::Modifier* modifier);
    void ReadBranding();

    static void NextImageCallback(void* object, void* component);

    bool m_ShowAnimation = true;
    bool m_Finished = false;
    bool m_Switched = false;
    std::int32_t m_DisplayTime = 1700;
    std::int32_t m_FadeTime = 500;
    std::int32_t m_ImageCount = 0;
    std::int32_t m_Waited = 0;
    Qmv2::Sprite* m_Background = nullptr;
    Qmv2::Modifier* m_Last = nullptr;
    // The pictures stay loaded while their sprites show them.
    Qmv2::GFVector<Qmv2::SmartPtr<Qmv2::ResourceImage>> m_Pictures;
};
