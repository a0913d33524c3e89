#include "platform/win32/WinDragDrop.h"

#include "platform/win32/WindowTable.h"

#include <cstring>
#include <mutex>
#include <set>

struct HDROP__ {
    std::vector<std::string> files;
    POINT point;
    bool inClient;
};

namespace platform {
namespace {

std::mutex g_dragDropLock;
std::set<HDROP> g_drops;

// The drop behind a handle, or null for a handle that is not a live drop.
HDROP__* Live(HDROP drop)
{
    std::lock_guard<std::mutex> hold(g_dragDropLock);
    return g_drops.count(drop) != 0 ? drop : nullptr;
}

}  // namespace

HDROP MakeDrop(std::vector<std::string> files, POINT point, int clientWidth, int clientHeight)
{
    const bool inClient = point.x >= 0 && point.y >= 0 && point.x < clientWidth && point.y < clientHeight;
    HDROP drop = new HDROP__{std::move(files), point, inClient};
    std::lock_guard<std::mutex> hold(g_dragDropLock);
    g_drops.insert(drop);
    return drop;
}

std::size_t OpenDrops()
{
    std::lock_guard<std::mutex> hold(g_dragDropLock);
    return g_drops.size();
}

}  // namespace platform

void DragAcceptFiles(HWND hwnd, BOOL accept)
{
    platform::WindowTable::Instance().Update(hwnd, [accept](platform::WindowInfo& info) {
        if (accept) {
            info.exStyle |= WS_EX_ACCEPTFILES;
        } else {
            info.exStyle &= ~static_cast<DWORD>(WS_EX_ACCEPTFILES);
        }
    });
}

UINT DragQueryFileA(HDROP drop, UINT index, LPSTR buffer, UINT size)
{
    HDROP__* live = platform::Live(drop);
    if (live == nullptr) {
        return 0;
    }
    if (index == 0xFFFFFFFFu) {
        return static_cast<UINT>(live->files.size());
    }
    if (index >= live->files.size()) {
        return 0;
    }
    const std::string& name = live->files[index];
    if (buffer == nullptr) {
        return static_cast<UINT>(name.size());
    }
    if (size == 0) {
        return 0;
    }
    const std::size_t copied = std::min<std::size_t>(name.size(), size - 1);
    std::memcpy(buffer, name.data(), copied);
    buffer[copied] = '\0';
    return static_cast<UINT>(copied);
}

BOOL DragQueryPoint(HDROP drop, POINT* point)
{
    HDROP__* live = platform::Live(drop);
    if (live == nullptr || point == nullptr) {
        return FALSE;
    }
    *point = live->point;
    return live->inClient ? TRUE : FALSE;
}

void DragFinish(HDROP drop)
{
    {
        std::lock_guard<std::mutex> hold(platform::g_dragDropLock);
        if (platform::g_drops.erase(drop) == 0) {
            return;
        }
    }
    delete drop;
}
