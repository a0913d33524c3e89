#include "platform/win32/WinClipboard.h"

#include "platform/win32/WinLastError.h"
#include "platform/win32/WinText.h"

#include <SDL.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace {

std::mutex g_clipboardLock;
std::map<HGLOBAL, std::vector<unsigned char>> g_blocks;
std::uintptr_t g_nextBlock = 0x70000;
bool g_open = false;
std::vector<HGLOBAL> g_handedOut;  // blocks of GetClipboardData, freed at close

HGLOBAL AllocLocked(SIZE_T bytes)
{
    HGLOBAL handle = reinterpret_cast<HGLOBAL>(g_nextBlock);
    g_nextBlock += 8;
    g_blocks[handle].assign(bytes, 0);
    return handle;
}

bool HasText()
{
    return SDL_WasInit(SDL_INIT_VIDEO) != 0 && SDL_HasClipboardText() == SDL_TRUE;
}

std::string ClipboardUtf8()
{
    char* text = SDL_GetClipboardText();
    std::string result = text != nullptr ? text : "";
    SDL_free(text);
    return result;
}

}  // namespace

HGLOBAL GlobalAlloc(UINT, SIZE_T bytes)
{
    std::lock_guard<std::mutex> hold(g_clipboardLock);
    return AllocLocked(bytes);
}

LPVOID GlobalLock(HGLOBAL memory)
{
    std::lock_guard<std::mutex> hold(g_clipboardLock);
    auto it = g_blocks.find(memory);
    if (it == g_blocks.end() || it->second.empty()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return it->second.data();
}

BOOL GlobalUnlock(HGLOBAL memory)
{
    std::lock_guard<std::mutex> hold(g_clipboardLock);
    return g_blocks.count(memory) != 0 ? TRUE : FALSE;
}

SIZE_T GlobalSize(HGLOBAL memory)
{
    std::lock_guard<std::mutex> hold(g_clipboardLock);
    auto it = g_blocks.find(memory);
    return it == g_blocks.end() ? 0 : it->second.size();
}

HGLOBAL GlobalFree(HGLOBAL memory)
{
    std::lock_guard<std::mutex> hold(g_clipboardLock);
    if (g_blocks.erase(memory) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return memory;
    }
    return nullptr;
}

BOOL OpenClipboard(HWND)
{
    std::lock_guard<std::mutex> hold(g_clipboardLock);
    if (g_open || SDL_WasInit(SDL_INIT_VIDEO) == 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    g_open = true;
    return TRUE;
}

BOOL CloseClipboard()
{
    std::lock_guard<std::mutex> hold(g_clipboardLock);
    if (!g_open) {
        SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
        return FALSE;
    }
    for (HGLOBAL block : g_handedOut) {
        g_blocks.erase(block);
    }
    g_handedOut.clear();
    g_open = false;
    return TRUE;
}

BOOL EmptyClipboard()
{
    std::lock_guard<std::mutex> hold(g_clipboardLock);
    if (!g_open) {
        SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
        return FALSE;
    }
    return SDL_SetClipboardText("") == 0 ? TRUE : FALSE;
}

BOOL IsClipboardFormatAvailable(UINT format)
{
    return (format == CF_TEXT || format == CF_UNICODETEXT) && HasText() ? TRUE : FALSE;
}

int GetPriorityClipboardFormat(UINT* formats, int count)
{
    if (!HasText()) {
        return 0;
    }
    for (int k = 0; formats != nullptr && k < count; ++k) {
        if (formats[k] == CF_TEXT || formats[k] == CF_UNICODETEXT) {
            return static_cast<int>(formats[k]);
        }
    }
    return -1;
}

HANDLE GetClipboardData(UINT format)
{
    std::lock_guard<std::mutex> hold(g_clipboardLock);
    if (!g_open || (format != CF_TEXT && format != CF_UNICODETEXT) || !HasText()) {
        return nullptr;
    }
    std::u16string wide = platform::Utf8ToWide(ClipboardUtf8());
    HGLOBAL block = nullptr;
    if (format == CF_UNICODETEXT) {
        block = AllocLocked((wide.size() + 1) * sizeof(char16_t));
        std::memcpy(g_blocks[block].data(), wide.c_str(), (wide.size() + 1) * sizeof(char16_t));
    } else {
        wide.push_back(u'\0');
        int bytes = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                        nullptr);
        block = AllocLocked(static_cast<SIZE_T>(bytes));
        WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()),
                            reinterpret_cast<LPSTR>(g_blocks[block].data()), bytes, nullptr, nullptr);
    }
    g_handedOut.push_back(block);
    return block;
}

HANDLE SetClipboardData(UINT format, HANDLE memory)
{
    std::lock_guard<std::mutex> hold(g_clipboardLock);
    auto it = g_blocks.find(memory);
    if (!g_open || it == g_blocks.end() || (format != CF_TEXT && format != CF_UNICODETEXT)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::string utf8;
    const std::vector<unsigned char>& block = it->second;
    if (format == CF_UNICODETEXT) {
        // The text ends at its zero or at the end of the block, whichever comes first.
        std::u16string wide;
        for (std::size_t i = 0; i + 1 < block.size(); i += 2) {
            char16_t unit = 0;
            std::memcpy(&unit, &block[i], sizeof unit);
            if (unit == 0) {
                break;
            }
            wide.push_back(unit);
        }
        utf8 = platform::WideToUtf8(wide.c_str());
    } else {
        std::string ansi(block.begin(), block.end());
        ansi.resize(std::strlen(ansi.c_str()));
        std::u16string wide(ansi.size() + 1, u'\0');
        if (!ansi.empty()) {
            MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
        }
        utf8 = platform::WideToUtf8(wide.c_str());
    }
    if (SDL_SetClipboardText(utf8.c_str()) != 0) {
        return nullptr;
    }
    // The clipboard owns the block now; the text lives on in SDL.
    g_blocks.erase(it);
    return memory;
}
