// An index buffer kept in host memory; indexed draws read it directly.
#pragma once

#include "platform/d3d9/IDirect3DIndexBuffer9.h"
#include "platform/d3d9/gl/ComObject.h"
#include "platform/d3d9/gl/HostBuffer.h"

namespace platform::d3d9 {

class GlIndexBuffer9 final : public ComObject<IDirect3DIndexBuffer9, IID_IDirect3DIndexBuffer9> {
public:
    GlIndexBuffer9(UINT length, DWORD usage, UINT indexSize) : buffer_(length, usage), indexSize_(indexSize) {}

    HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) override
    {
        return buffer_.Lock(offset, size, data, flags);
    }
    HRESULT Unlock() override { return buffer_.Unlock(); }

    const HostBuffer& Buffer() const { return buffer_; }
    UINT IndexSize() const { return indexSize_; }
    UINT Capacity() const { return buffer_.Length() / indexSize_; }
    // The index at a position (no range check: callers check Capacity).
    UINT IndexAt(UINT position) const;

private:
    HostBuffer buffer_;
    UINT indexSize_;
};

}  // namespace platform::d3d9
