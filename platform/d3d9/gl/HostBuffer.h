// The memory behind a vertex or index buffer, with Direct3D's lock rules:
// ranges inside the buffer, discard and no-overwrite only on dynamic buffers,
// nested locks counted.
#pragma once

#include "platform/d3d9/D3D9Types.h"

#include <mutex>
#include <vector>

namespace platform::d3d9 {

class HostBuffer {
public:
    HostBuffer(UINT length, DWORD usage);

    HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags);
    HRESULT Unlock();

    const BYTE* Data() const { return bytes_.data(); }
    UINT Length() const { return static_cast<UINT>(bytes_.size()); }
    DWORD Usage() const { return usage_; }

private:
    std::vector<BYTE> bytes_;
    DWORD usage_;
    std::mutex mutex_;
    int locks_ = 0;
};

}  // namespace platform::d3d9
