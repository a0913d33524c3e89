#include "platform/win32/Letterbox.h"

#include <algorithm>
#include <cmath>

namespace platform {
namespace {

constexpr double kBias = 1e-7;

}  // namespace

Letterbox::Letterbox(int logicalWidth, int logicalHeight, int surfaceWidth, int surfaceHeight)
{
    if (logicalWidth <= 0 || logicalHeight <= 0 || surfaceWidth <= 0 || surfaceHeight <= 0) {
        // Nothing sensible to fit: map one to one.
        m_width = std::max(logicalWidth, 0);
        m_height = std::max(logicalHeight, 0);
        return;
    }
    m_scale = std::min(static_cast<double>(surfaceWidth) / logicalWidth,
                       static_cast<double>(surfaceHeight) / logicalHeight);
    m_width = std::min(surfaceWidth, static_cast<int>(std::lround(logicalWidth * m_scale)));
    m_height = std::min(surfaceHeight, static_cast<int>(std::lround(logicalHeight * m_scale)));
    m_x = (surfaceWidth - m_width) / 2;
    m_y = (surfaceHeight - m_height) / 2;
}

void Letterbox::ToLogical(int surfaceX, int surfaceY, int& logicalX, int& logicalY) const
{
    // The small bias keeps exact multiples (8 / 1.6) from rounding down a pixel.
    logicalX = static_cast<int>(std::floor((surfaceX - m_x) / m_scale + kBias));
    logicalY = static_cast<int>(std::floor((surfaceY - m_y) / m_scale + kBias));
}

void Letterbox::ToSurface(int logicalX, int logicalY, int& surfaceX, int& surfaceY) const
{
    surfaceX = m_x + static_cast<int>(std::ceil(logicalX * m_scale - kBias));
    surfaceY = m_y + static_cast<int>(std::ceil(logicalY * m_scale - kBias));
}

}  // namespace platform
