// Display modes of the main display, over SDL's display-mode list.
#pragma once

#include "platform/win32/WinTypes.h"

#define CCHDEVICENAME 32
#define CCHFORMNAME 32
#define ENUM_CURRENT_SETTINGS (static_cast<DWORD>(-1))
#define ENUM_REGISTRY_SETTINGS (static_cast<DWORD>(-2))

#define DM_BITSPERPEL 0x00040000L
#define DM_PELSWIDTH 0x00080000L
#define DM_PELSHEIGHT 0x00100000L
#define DM_DISPLAYFREQUENCY 0x00400000L

// The fields callers read; the record keeps the documented 156-byte size so
// that code setting dmSize from sizeof stays meaningful.
struct DEVMODEA {
    BYTE dmDeviceName[CCHDEVICENAME];
    WORD dmSpecVersion;
    WORD dmDriverVersion;
    WORD dmSize;
    WORD dmDriverExtra;
    DWORD dmFields;
    BYTE dmReserved[60];
    DWORD dmBitsPerPel;
    DWORD dmPelsWidth;
    DWORD dmPelsHeight;
    DWORD dmDisplayFlags;
    DWORD dmDisplayFrequency;
    BYTE dmTail[32];
};

// Mode number n (from 0) of the display, or its current settings for
// ENUM_CURRENT_SETTINGS / ENUM_REGISTRY_SETTINGS; FALSE past the last mode or
// when SDL's video subsystem cannot be started. The device name is SDL's
// video driver name ("x11", "wayland", "dummy", ...).
BOOL EnumDisplaySettingsA(LPCSTR deviceName, DWORD modeNumber, DEVMODEA* mode);

namespace platform {

// Starts SDL's video subsystem once for the whole process. SDL falls back to
// its off-screen or dummy driver when no display can be reached; those show
// nothing to a player, so they count as no display unless SDL_VIDEODRIVER
// names them explicitly (tools and tests that draw off screen).
bool StartVideoSubsystem();

}  // namespace platform
