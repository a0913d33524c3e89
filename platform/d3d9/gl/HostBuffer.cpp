#include "platform/d3d9/gl/HostBuffer.h"

namespace platform::d3d9 {

HostBuffer::HostBuffer(UINT length, DWORD usage) : bytes_(length, 0), usage_(usage) {}

HRESULT HostBuffer::Lock(UINT offset, UINT size, void** data, DWORD flags)
{
    if (data == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *data = nullptr;
    bool discard = (flags & D3DLOCK_DISCARD) != 0;
    bool noOverwrite = (flags & D3DLOCK_NOOVERWRITE) != 0;
    if ((discard || noOverwrite) && (usage_ & D3DUSAGE_DYNAMIC) == 0) {
        return D3DERR_INVALIDCALL;
    }
    if (discard && noOverwrite) {
        return D3DERR_INVALIDCALL;
    }
    if ((flags & D3DLOCK_READONLY) != 0 && (usage_ & D3DUSAGE_WRITEONLY) != 0) {
        return D3DERR_INVALIDCALL;  // a write-only buffer has nothing to read back
    }
    UINT length = Length();
    if (offset > length || (size != 0 && size > length - offset)) {
        return D3DERR_INVALIDCALL;
    }
    std::lock_guard<std::mutex> hold(mutex_);
    ++locks_;
    *data = bytes_.data() + offset;
    return D3D_OK;
}

HRESULT HostBuffer::Unlock()
{
    std::lock_guard<std::mutex> hold(mutex_);
    if (locks_ == 0) {
        return D3DERR_INVALIDCALL;
    }
    --locks_;
    return D3D_OK;
}

}  // namespace platform::d3d9
