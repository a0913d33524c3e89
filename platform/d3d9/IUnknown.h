// The reference-counting root of the COM-style interfaces of the platform
// stand-ins: every object starts with one reference held by its creator and
// destroys itself when the last one is released.
#pragma once

#include "platform/win32/WinTypes.h"

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    virtual ~IUnknown() = default;
};

// Interface identifiers of the stand-in's own interfaces.
inline constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
