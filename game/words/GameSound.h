// Plays a sound resource of the game once, at full volume, centred and at its
// own pitch; a missing resource plays nothing.
#pragma once

#include <string>

void PlayGameSound(const std::string& name, const std::string& section = "default");
