// The game's application object: the framework's start-up, loop and shutdown,
// with the game's backdrop put under the game tree before the loop starts, so
// every frame draws and presents at least the game's background colour. It
// makes the game's scenes and settings.
#pragma once

#include "framework/core/app/Application.h"

namespace Quorvel {

class Quorvel2Main : public Qmv2::Application {
public:
    // The backdrop colour: the deep blue of the game's palette (ARGB).
    static constexpr std::uint32_t kBackgroundColor = 0xFF1D3557;

    using Qmv2::Application::Application;

    void BeforeMainLoop() override;
    // Every scene the game starts with; the Crisscross scene is made by the
    // menu on first use.
    void RegisterScenes() override;
    // The game's settings, with the game's defaults.
    Qmv2::GameSettings* CreateGameSettings() override;

};

}  // namespace Quorvel
