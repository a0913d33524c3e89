// ASCII-only case folding for names the system compares without regard to
// case (library names, registry keys, file patterns). Other bytes stay.
#pragma once

#include <string>

namespace platform {

inline char AsciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string AsciiLower(const std::string& text)
{
    std::string result = text;
    for (char& c : result) {
        c = AsciiLower(c);
    }
    return result;
}

}  // namespace platform
