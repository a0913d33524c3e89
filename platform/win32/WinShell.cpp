#include "platform/win32/WinShell.h"

#include "platform/win32/AsciiCase.h"
#include "platform/win32/WinLastError.h"

#include <SDL.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <sys/stat.h>

namespace {

std::mutex g_shellLock;
std::function<bool(const std::string&)> g_opener;

bool DefaultOpener(const std::string& address)
{
    const char* headless = std::getenv("QMV_HEADLESS");
    if (headless != nullptr && std::strcmp(headless, "1") == 0) {
        std::fprintf(stderr, "[open address] %s\n", address.c_str());
        return true;
    }
    return SDL_OpenURL(address.c_str()) == 0;
}

bool StartsWithNoCase(const std::string& text, const char* prefix)
{
    std::size_t n = std::strlen(prefix);
    if (text.size() < n) {
        return false;
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (platform::AsciiLower(text[i]) != prefix[i]) {
            return false;
        }
    }
    return true;
}

bool IsWebAddress(const std::string& address)
{
    if (!StartsWithNoCase(address, "http://") && !StartsWithNoCase(address, "https://")) {
        return false;
    }
    for (unsigned char c : address) {
        if (c < 0x21 || c == 0x7F) {
            return false;  // spaces and control characters have to be percent-encoded
        }
    }
    return true;
}

HINSTANCE Result(int code)
{
    return reinterpret_cast<HINSTANCE>(static_cast<std::intptr_t>(code));
}

// An absolute folder from the variable, else home + fallback; empty when neither.
std::string XdgFolder(const char* variable, const char* fallback)
{
    const char* value = std::getenv(variable);
    if (value != nullptr && value[0] == '/') {
        return value;
    }
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') {
        return std::string(home) + fallback;
    }
    return {};
}

bool MakeFolders(const std::string& path)
{
    for (std::size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos == path.size() || path[pos] == '/') {
            std::string part = path.substr(0, pos);
            if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
                return false;
            }
        }
    }
    struct stat info{};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

HINSTANCE ShellExecuteA(HWND, LPCSTR verb, LPCSTR file, LPCSTR, LPCSTR, INT)
{
    if (verb != nullptr && std::strcmp(verb, "open") != 0) {
        return Result(SE_ERR_NOASSOC);
    }
    if (file == nullptr || !IsWebAddress(file)) {
        return Result(SE_ERR_NOASSOC);
    }
    std::function<bool(const std::string&)> opener;
    {
        std::lock_guard<std::mutex> hold(g_shellLock);
        opener = g_opener;
    }
    bool opened = opener ? opener(file) : DefaultOpener(file);
    return Result(opened ? 42 : SE_ERR_FNF);
}

BOOL SHGetSpecialFolderPathA(HWND, LPSTR path, int folder, BOOL create)
{
    if (path == nullptr) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    const std::string result = platform::SpecialFolderPath(folder, create != FALSE);
    if (result.empty()) {
        return FALSE;
    }
    if (result.size() >= MAX_PATH) {
        std::fprintf(stderr, "The folder %s is longer than %d characters and cannot be used here.\n", result.c_str(),
                     MAX_PATH - 1);
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    std::memcpy(path, result.c_str(), result.size() + 1);
    return TRUE;
}

namespace platform {

void SetUrlOpener(std::function<bool(const std::string&)> opener)
{
    std::lock_guard<std::mutex> hold(g_shellLock);
    g_opener = std::move(opener);
}

std::string SpecialFolderPath(int folder, bool create)
{
    std::string result;
    switch (folder) {
    case CSIDL_COMMON_APPDATA:
    case CSIDL_LOCAL_APPDATA:
        result = XdgFolder("XDG_DATA_HOME", "/.local/share");
        break;
    case CSIDL_APPDATA:
        result = XdgFolder("XDG_CONFIG_HOME", "/.config");
        break;
    default:
        break;
    }
    if (result.empty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return {};
    }
    if (create && !MakeFolders(result)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return {};
    }
    return result;
}

}  // namespace platform
