#include "game/words/SavedFields.h"

#include <charconv>

#include "framework/core/properties/PropertyNode.h"

using namespace Qmv2;

bool ReadSavedInteger(const PropertyNode& node, const char* key, std::int32_t& value, std::string& why)
{
    const std::string text = node.GetString(key);
    value = 0;
    if (text.empty()) {
        return true;
    }
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || stop != end) {
        why = std::string(key) + " is not a number: " + text;
        return false;
    }
    return true;
}

bool SavedInRange(const char* key, std::int32_t value, std::int32_t low, std::int32_t high, std::string& why)
{
    if (value < low || value > high) {
        why = std::string(key) + " " + std::to_string(value) + " is outside " + std::to_string(low) + ".." +
              std::to_string(high);
        return false;
    }
    return true;
}
