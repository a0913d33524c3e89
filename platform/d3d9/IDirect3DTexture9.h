// Textures: the base every texture kind shares and the two-dimensional texture.
#pragma once

#include "platform/d3d9/D3D9Types.h"
#include "platform/d3d9/IDirect3DSurface9.h"
#include "platform/d3d9/IUnknown.h"

inline constexpr IID IID_IDirect3DBaseTexture9 = {0x51a7d303, 0x0d39, 0x4e11, {0x9a, 0x31, 0, 0, 0, 0, 0, 0x03}};
inline constexpr IID IID_IDirect3DTexture9 = {0x51a7d304, 0x0d39, 0x4e11, {0x9a, 0x31, 0, 0, 0, 0, 0, 0x04}};

struct IDirect3DBaseTexture9 : IUnknown {
};

struct IDirect3DTexture9 : IDirect3DBaseTexture9 {
    // Answers the surface of a level with a reference the caller releases.
    virtual HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) = 0;
    virtual HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) = 0;
    virtual HRESULT UnlockRect(UINT level) = 0;
    // Marks (a part of) the texture as changed, so its next use takes the new pixels.
    virtual HRESULT AddDirtyRect(const RECT* rect) = 0;
};
