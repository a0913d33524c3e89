// The game mode the menu chose before it switched to a playing scene; the
// playing scenes and the round dialogs read it.
#pragma once

#include <cstdint>

namespace GameMode {

enum : std::int32_t { kTimed = 0, kUntimed = 1, kBlitz = 2, kCrisscross = 3, kWordOfTheDay = 4 };

std::int32_t Get();
void Set(std::int32_t mode);

}  // namespace GameMode
