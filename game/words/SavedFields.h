// Reading the numbers of a saved game: what a hand-edited or damaged file
// may hold is refused with a reason the player's log can show.
#pragma once

#include <cstdint>
#include <string>

namespace Qmv2 {
class PropertyNode;
}

// A missing or empty value is 0; anything but a whole decimal number in
// range of 32 bits is refused.
bool ReadSavedInteger(const Qmv2::PropertyNode& node, const char* key, std::int32_t& value, std::string& why);

// Whether low <= value <= high; `why` names the key otherwise.
bool SavedInRange(const char* key, std::int32_t value, std::int32_t low, std::int32_t high, std::string& why);
