// A two-dimensional pixel surface: a level of a texture, the back buffer or a
// plain surface in system memory.
#pragma once

#include "platform/d3d9/D3D9Types.h"
#include "platform/d3d9/IUnknown.h"

inline constexpr IID IID_IDirect3DSurface9 = {0x51a7d305, 0x0d39, 0x4e11, {0x9a, 0x31, 0, 0, 0, 0, 0, 0x05}};

struct IDirect3DSurface9 : IUnknown {
    // Locks the whole surface (rect null) or a part of it for reading or writing.
    virtual HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) = 0;
    virtual HRESULT UnlockRect() = 0;
};
