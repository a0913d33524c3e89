#include "platform/win32/WinDisplay.h"

#include "platform/win32/XErrorFilter.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <mutex>

static_assert(sizeof(DEVMODEA) == 156, "DEVMODEA keeps its documented size");

namespace {

DWORD BitsOf(Uint32 format)
{
    // SDL reports 24 bits for the usual 32-bit XRGB desktop; a display mode
    // with padding bytes counts its stored size, as the callers expect.
    int bytes = SDL_BYTESPERPIXEL(format);
    return bytes > 0 ? static_cast<DWORD>(bytes * 8) : static_cast<DWORD>(SDL_BITSPERPIXEL(format));
}

}  // namespace

BOOL EnumDisplaySettingsA(LPCSTR, DWORD modeNumber, DEVMODEA* mode)
{
    if (mode == nullptr) {
        return FALSE;
    }
    if (!platform::StartVideoSubsystem()) {
        return FALSE;
    }
    SDL_DisplayMode sdl{};
    int result = -1;
    if (modeNumber == ENUM_CURRENT_SETTINGS || modeNumber == ENUM_REGISTRY_SETTINGS) {
        result = SDL_GetDesktopDisplayMode(0, &sdl);
    } else if (modeNumber < static_cast<DWORD>(SDL_GetNumDisplayModes(0))) {
        result = SDL_GetDisplayMode(0, static_cast<int>(modeNumber), &sdl);
    }
    if (result != 0) {
        return FALSE;
    }
    WORD size = mode->dmSize;
    std::memset(mode, 0, sizeof *mode);
    mode->dmSize = size != 0 ? size : static_cast<WORD>(sizeof *mode);
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver != nullptr) {
        std::strncpy(reinterpret_cast<char*>(mode->dmDeviceName), driver, CCHDEVICENAME - 1);
    }
    mode->dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;
    mode->dmBitsPerPel = BitsOf(sdl.format);
    mode->dmPelsWidth = static_cast<DWORD>(sdl.w);
    mode->dmPelsHeight = static_cast<DWORD>(sdl.h);
    mode->dmDisplayFrequency = static_cast<DWORD>(sdl.refresh_rate);
    return TRUE;
}

namespace platform {

bool StartVideoSubsystem()
{
    static std::mutex lock;
    std::lock_guard<std::mutex> hold(lock);
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0) {
        InstallXErrorFilter();
        return true;
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        return false;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    const char* asked = std::getenv("SDL_VIDEODRIVER");
    const bool invisible = driver != nullptr && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
    if (invisible && (asked == nullptr || std::strstr(asked, driver) == nullptr)) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        SDL_SetError("no display (only the %s video driver could be started)", driver);
        return false;
    }
    InstallXErrorFilter();
    return true;
}

}  // namespace platform
