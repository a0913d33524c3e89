// Scenes that stand between the scene being left and the one requested: the
// scene manager hands them both, the effect hides the switch, and when it is
// over the transition requests the target itself. SceneTransitionAlpha fades
// a snapshot of the old scene away over the new one; SceneTransitionFadeBlack
// fades through a colour, showing its "LOADING_LABEL" while background
// loading goes on.
#pragma once

#include <cstdint>
#include <string>

#include "framework/core/object/SmartPtr.h"
#include "framework/graphics/image/Image.h"
#include "framework/scene/Scene.h"

namespace Qmv2 {

class Label;

class SceneTransition : public Scene {
    QMV_INDEXED_TYPE(SceneTransition)

    explicit SceneTransition(PropertyNode* description);

    // Takes input from the scene being left and from itself; loads and shows.
    void Show() override;
    void SetScenes(Scene* from, Scene* to) override;
    // The old scene out, the new one shown.
    virtual void SwitchScenes();
    // Asks the scene manager for the target scene.
    virtual void RequestTarget();

    Scene* GetFromScene() const { return m_From; }
    Scene* GetToScene() const { return m_To; }

    // The scene drawn into a window-sized image (null without a renderer).
    static SmartPtr<Image> CaptureScene(Scene* scene);

protected:
    // Whether background loading is over; wakes the loader.
    static bool IsLoadingDone();
    // A function modifier that requests the target, under `after`.
    void RequestWhenDone(Modifier* after, GameNode* target);

    Scene* m_From = nullptr;
    Scene* m_To = nullptr;
};

class SceneTransitionAlpha : public SceneTransition {
    QMV_INDEXED_TYPE(SceneTransitionAlpha)

    // Reads "time" and "wait".
    explicit SceneTransitionAlpha(PropertyNode* description);

    // Once loading allows: snapshot, fade it out over the new scene, request.
    void Update(std::int32_t dt) override;

    Sprite* GetSnapshot() const { return m_Snapshot.Get(); }

private:
    SmartPtr<Sprite> m_Snapshot;
    std::int32_t m_Time = 1000;
    bool m_Wait = true;
};

class SceneTransitionFadeBlack : public SceneTransition {
    QMV_INDEXED_TYPE(SceneTransitionFadeBlack)

    enum State : std::int32_t { kFadingIn = 0, kCovered = 1, kFadingOut = 2 };

    // Reads "color", "time", "wait", "showdelay" and "showtime"; the sprite
    // is the colour overlay, window-sized and clear.
    explicit SceneTransitionFadeBlack(PropertyNode* description);

    void Activate() override;
    void Update(std::int32_t dt) override;
    // The overlay: the colour at the transition's alpha over its whole size.
    void Render(Graphics& graphics) override;

    std::int32_t GetState() const { return m_State; }
    Label* GetLoadingLabel() const { return m_Label; }

private:
    void FadeOut();
    static void OnCovered(void* transition, void*);

    Label* m_Label = nullptr;
    std::string m_LoadingText;
    std::int32_t m_ShowDelay = 3000;
    std::int32_t m_ShowTime = 1500;
    std::int32_t m_DotsTime = 0;
    bool m_Wait = true;
    std::int32_t m_Time = 1000;
    std::int32_t m_State = kFadingIn;
};

}  // namespace Qmv2
