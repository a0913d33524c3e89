// The game's settings: the framework's values with the game's defaults (full
// screen, hints on, both volumes at half, the online switches on).
#pragma once

#include "framework/core/data/GameSettings.h"
#include "game/frontend/FrontendRecords.h"

class Quorvel2GameSettings : public Qmv2::GameSettings {
    QMV_INDEXED_TYPE(Quorvel2GameSettings)

    Quorvel2GameSettings() = default;
};
