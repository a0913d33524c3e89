// The quit question the main menu's quit button asks: a yes/no question on
// the current scene (or on the scene a transition leads to). Yes asks the game
// window to close, so the main loop ends after this turn and the normal
// shutdown saves the high scores and the players.
#pragma once

#include <cstdint>

namespace QuitQuestion {

// The longest the question waits for the "default" section it is drawn from.
inline constexpr std::int32_t kDefaultSectionLimit = 10000;

// Opens the question; a second request while it is open is ignored.
void AskQuit(void* object = nullptr, void* component = nullptr);
// The question's yes.
void OnQuitConfirmed(void* object, void* component);

}  // namespace QuitQuestion
