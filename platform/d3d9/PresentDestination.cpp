#include "platform/d3d9/PresentDestination.h"

#include <algorithm>
#include <map>
#include <mutex>

namespace platform {
namespace {

std::mutex g_lock;
std::map<HWND, RECT> g_destinations;

}  // namespace

RECT LetterboxRect(int sourceWidth, int sourceHeight, int destWidth, int destHeight)
{
    RECT rect{0, 0, 0, 0};
    if (sourceWidth <= 0 || sourceHeight <= 0 || destWidth <= 0 || destHeight <= 0) {
        return rect;
    }
    // Compare the aspect ratios in integers so equal ratios fill exactly.
    long long wide = static_cast<long long>(destWidth) * sourceHeight;
    long long tall = static_cast<long long>(destHeight) * sourceWidth;
    int width = destWidth;
    int height = destHeight;
    if (wide > tall) {
        width = static_cast<int>((static_cast<long long>(destHeight) * sourceWidth + sourceHeight / 2) / sourceHeight);
    } else if (wide < tall) {
        height = static_cast<int>((static_cast<long long>(destWidth) * sourceHeight + sourceWidth / 2) / sourceWidth);
    }
    width = std::max(width, 1);
    height = std::max(height, 1);
    rect.left = (destWidth - width) / 2;
    rect.top = (destHeight - height) / 2;
    rect.right = rect.left + width;
    rect.bottom = rect.top + height;
    return rect;
}

void SetPresentDestination(HWND window, const RECT* rect)
{
    std::lock_guard<std::mutex> hold(g_lock);
    if (rect == nullptr) {
        g_destinations.erase(window);
    } else {
        g_destinations[window] = *rect;
    }
}

bool GetPresentDestination(HWND window, RECT* rect)
{
    std::lock_guard<std::mutex> hold(g_lock);
    auto it = g_destinations.find(window);
    if (it == g_destinations.end()) {
        return false;
    }
    *rect = it->second;
    return true;
}

}  // namespace platform
