// The game's application object: the framework's start-up, loop and shutdown,
// with the game's backdrop put under the game tree before the loop starts, so
// every frame draws and presents at least the game's background colour. It
// makes the game's scenes and settings. Its type record names it alone, with
// the base object as its parent, so it is not taken for a plain Application.
#pragma once

#include "framework/core/app/Application.h"
#include "game/frontend/FrontendRecords.h"

namespace Quorvel {

class Quorvel2Main : public Qmv2::Application {
    QMV_INDEXED_TYPE(Quorvel2Main)

    // The backdrop colour: the deep blue of the game's palette (ARGB).
    static constexpr std::uint32_t kBackgroundColor = 0xFF1D3557;

    explicit Quorvel2Main(const std::string& manifest = "properties/application.xml")
        : Qmv2::Application(manifest)
    {
    }
    // Releases every framework singleton left, as the framework's shutdown does.
    ~Quorvel2Main() override;

    void BeforeMainLoop() override;
    // Every scene the game starts with; the Crisscross scene is made by the
    // menu on first use.
    void RegisterScenes() override;
    // The game's settings, with the game's defaults.
    Qmv2::GameSettings* CreateGameSettings() override;
    // The framework's shutdown, unchanged; safe to call again.
    void Shutdown() override;

};

}  // namespace Quorvel
