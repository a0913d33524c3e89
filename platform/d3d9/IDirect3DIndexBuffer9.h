// A buffer of 16- or 32-bit vertex indices for indexed draws.
#pragma once

#include "platform/d3d9/D3D9Types.h"
#include "platform/d3d9/IUnknown.h"

inline constexpr IID IID_IDirect3DIndexBuffer9 = {0x51a7d307, 0x0d39, 0x4e11, {0x9a, 0x31, 0, 0, 0, 0, 0, 0x07}};

struct IDirect3DIndexBuffer9 : IUnknown {
    // Size 0 locks from the offset to the end of the buffer.
    virtual HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) = 0;
    virtual HRESULT Unlock() = 0;
};
