// A buffer of vertices that draws read through a stream source.
#pragma once

#include "platform/d3d9/D3D9Types.h"
#include "platform/d3d9/IUnknown.h"

inline constexpr IID IID_IDirect3DVertexBuffer9 = {0x51a7d306, 0x0d39, 0x4e11, {0x9a, 0x31, 0, 0, 0, 0, 0, 0x06}};

struct IDirect3DVertexBuffer9 : IUnknown {
    // Size 0 locks from the offset to the end of the buffer.
    virtual HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) = 0;
    virtual HRESULT Unlock() = 0;
};
