// A vertex buffer kept in host memory; draws hand it to GL as a client array.
#pragma once

#include "platform/d3d9/IDirect3DVertexBuffer9.h"
#include "platform/d3d9/gl/ComObject.h"
#include "platform/d3d9/gl/HostBuffer.h"

namespace platform::d3d9 {

class GlVertexBuffer9 final : public ComObject<IDirect3DVertexBuffer9, IID_IDirect3DVertexBuffer9> {
public:
    GlVertexBuffer9(UINT length, DWORD usage) : buffer_(length, usage) {}

    HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) override
    {
        return buffer_.Lock(offset, size, data, flags);
    }
    HRESULT Unlock() override { return buffer_.Unlock(); }

    const HostBuffer& Buffer() const { return buffer_; }

private:
    HostBuffer buffer_;
};

}  // namespace platform::d3d9
