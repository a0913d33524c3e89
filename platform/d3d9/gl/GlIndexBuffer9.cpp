#include "platform/d3d9/gl/GlIndexBuffer9.h"

#include <cstdint>
#include <cstring>

namespace platform::d3d9 {

UINT GlIndexBuffer9::IndexAt(UINT position) const
{
    const BYTE* at = buffer_.Data() + static_cast<size_t>(position) * indexSize_;
    if (indexSize_ == 2) {
        std::uint16_t value;
        std::memcpy(&value, at, sizeof value);
        return value;
    }
    std::uint32_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

}  // namespace platform::d3d9
