// A text as its list of code points, for scans that look one character
// ahead or back.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/core/util/UTF8String.h"

namespace Qmv2 {

inline std::vector<std::uint32_t> CodePoints(const UTF8String& text)
{
    std::vector<std::uint32_t> codes;
    const std::string& bytes = text.GetString();
    std::int32_t offset = 0;
    while (offset < static_cast<std::int32_t>(bytes.size())) {
        codes.push_back(text.GetCodePointAt(offset));
        offset += Utf8SequenceLength(static_cast<unsigned char>(bytes[offset]));
    }
    return codes;
}

}  // namespace Qmv2
