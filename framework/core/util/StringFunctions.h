#pragma once

#include <cstdint>
#include <string>

#include "framework/core/object/GFVector.h"

// Byte-string helpers of the property store and the path code; they know
// nothing of UTF-8.
namespace Qmv2 {

// The integer reader of every integer property: "#" or "0x"/"0X" followed by
// hexadecimal digits, else a signed decimal number. Unreadable text gives 0;
// values beyond 32 bits saturate instead of overflowing.
std::int32_t ParseColor(const std::string& text);

std::string IntToString(std::int32_t value);      // "%d"
std::string HexToString(std::uint64_t value);     // "%X": upper case, no prefix
std::string FloatToString(float value);           // two decimals
std::string AddressToString(std::uintptr_t value); // "0x" + HexToString
std::string AddressToString(const void* address);

// Appends the non-empty pieces between occurrences of separator.
void SplitString(const std::string& text, const std::string& separator,
                 GFVector<std::string>& pieces);

// Replaces every occurrence of pattern. Each search starts again from the
// beginning of the text, so a replacement that forms the pattern anew is
// replaced too ("a////b" with "//" -> "/" gives "a/b"). When the replacement
// itself holds the pattern that would never end, so the text is then
// replaced in one pass from left to right. An empty pattern changes nothing.
// Answers whether anything was replaced.
bool ReplaceAll(std::string& text, const std::string& pattern, const std::string& replacement);

} // namespace Qmv2
