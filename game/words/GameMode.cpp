#include "game/words/GameMode.h"

namespace {

std::int32_t s_Mode = GameMode::kTimed;

}  // namespace

std::int32_t GameMode::Get()
{
    return s_Mode;
}

void GameMode::Set(std::int32_t mode)
{
    s_Mode = mode;
}
