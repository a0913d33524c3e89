#include "framework/core/util/StringFunctions.h"

#include <cctype>
#include <cstdio>
#include <limits>

namespace Qmv2 {

namespace {

int DigitValue(char c, int base)
{
    int value = -1;
    if (c >= '0' && c <= '9')
        value = c - '0';
    else if (c >= 'a' && c <= 'f')
        value = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        value = c - 'A' + 10;
    return value < base ? value : -1;
}

// Reads white space, an optional sign and digits of base from pos, as the C
// scanners do. Answers false when no digit follows; the magnitude saturates
// at limit.
bool ScanNumber(const std::string& text, std::size_t pos, int base, std::uint64_t limit,
                bool& negative, std::uint64_t& magnitude)
{
    while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos])))
        ++pos;
    negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    magnitude = 0;
    bool any = false;
    for (; pos < text.size(); ++pos) {
        const int digit = DigitValue(text[pos], base);
        if (digit < 0)
            break;
        any = true;
        if (magnitude <= limit)
            magnitude = magnitude * base + digit;
    }
    if (magnitude > limit)
        magnitude = limit;
    return any;
}

std::int32_t ParseHex(const std::string& text, std::size_t pos)
{
    bool negative = false;
    std::uint64_t magnitude = 0;
    if (!ScanNumber(text, pos, 16, 0xFFFFFFFFull, negative, magnitude))
        return 0;
    std::uint32_t bits = static_cast<std::uint32_t>(magnitude);
    if (negative)
        bits = 0u - bits;
    return static_cast<std::int32_t>(bits);
}

std::int32_t ParseDecimal(const std::string& text)
{
    constexpr std::uint64_t kMaxMagnitude = 0x80000000ull;
    bool negative = false;
    std::uint64_t magnitude = 0;
    if (!ScanNumber(text, 0, 10, kMaxMagnitude, negative, magnitude))
        return 0;
    if (negative)
        return static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude));
    if (magnitude > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(magnitude);
}

} // namespace

std::int32_t ParseColor(const std::string& text)
{
    if (text.empty())
        return 0;
    if (text[0] == '#')
        return ParseHex(text, 1);
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        return ParseHex(text, 2);
    return ParseDecimal(text);
}

std::string IntToString(std::int32_t value)
{
    return std::to_string(value);
}

std::string HexToString(std::uint64_t value)
{
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "%llX", static_cast<unsigned long long>(value));
    return buffer;
}

std::string FloatToString(float value)
{
    constexpr int kPrecision = 2;
    char format[16];
    std::snprintf(format, sizeof format, "%%.%df", kPrecision);
    // Large floats print up to 39 digits before the point.
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, static_cast<double>(value));
    return buffer;
}

std::string AddressToString(std::uintptr_t value)
{
    return "0x" + HexToString(value);
}

std::string AddressToString(const void* address)
{
    return AddressToString(reinterpret_cast<std::uintptr_t>(address));
}

void SplitString(const std::string& text, const std::string& separator,
                 GFVector<std::string>& pieces)
{
    if (separator.empty()) {
        if (!text.empty())
            pieces.PushBack(text);
        return;
    }
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t found = text.find(separator, start);
        if (found == std::string::npos)
            found = text.size();
        if (found > start)
            pieces.PushBack(text.substr(start, found - start));
        start = found + separator.size();
    }
}

bool ReplaceAll(std::string& text, const std::string& pattern, const std::string& replacement)
{
    if (pattern.empty())
        return false;
    const bool singlePass = replacement.find(pattern) != std::string::npos;
    bool replaced = false;
    std::size_t from = 0;
    for (;;) {
        const std::size_t found = text.find(pattern, from);
        if (found == std::string::npos)
            return replaced;
        text.replace(found, pattern.size(), replacement);
        replaced = true;
        if (singlePass) {
            from = found + replacement.size();
        } else {
            // Nothing before `found` matched, so only a match that reaches
            // into the replacement can be new: searching from here finds
            // exactly what a search from the beginning would.
            from = found >= pattern.size() - 1 ? found - (pattern.size() - 1) : 0;
        }
    }
}

} // namespace Qmv2
