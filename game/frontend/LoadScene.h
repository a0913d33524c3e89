// The loading screen: the loading music, the partners' logos of an optional
// data file, a progress bar that grows with the background loading, the logo
// animation with its jingle, and the busy cursor. Once everything is loaded
// and at least kMinimumTime has passed it goes on to the main menu.
#pragma once

#include <cstdint>

#include "framework/core/object/MouseCursorCounter.h"
#include "framework/scene/Scene.h"
#include "game/frontend/FrontendRecords.h"

namespace Qmv2 {
class Sprite;
}  // namespace Qmv2

class LoadScene : public Qmv2::Scene {
    QMV_INDEXED_TYPE(LoadScene)

    explicit LoadScene(Qmv2::PropertyNode* description);
    ~LoadScene() override;

    void Load() override;
    // Grows the bar with the load progress; once loading is done and the
    // minimum time has passed, schedules the switch to the menu.
    void Update(std::int32_t dt) override;
    void GoToSelection();

    // The bar's shown width for `progress`, counted from `start` (the first
    // progress the scene saw), within 0..fullWidth.
    static float BarWidth(float fullWidth, float start, float progress);

    static constexpr std::int32_t kMinimumTime = 3500;
    // Sleep per frame while loading, leaving the processor to the loader.
    static constexpr std::int32_t kLoadingSleep = 100;
    // Past this the menu follows even when the loading has not ended.
    static constexpr std::int32_t kLoadLimit = 60000;

    bool IsDone() const noexcept { return m_Done; }

private:
    void ClipBar(float width);

    Qmv2::Sprite* m_ProgressBar = nullptr;
    float m_StartProgress = -1.0f;
    std::int32_t m_Elapsed = 0;
    bool m_Done = false;
    Qmv2::MouseCursorCounter m_BusyCursor{5};
};
