#include "platform/d3d9/TestHooks.h"

#include "platform/d3d9/gl/GlDevice9.h"
#include "platform/d3d9/gl/GlDirect3D9.h"

namespace platform::d3d9 {

bool SimulateDeviceLoss(IDirect3DDevice9* device, unsigned lostReports)
{
    auto* gl = dynamic_cast<GlDevice9*>(device);
    if (gl == nullptr) {
        return false;
    }
    gl->SimulateLoss(lostReports);
    return true;
}

bool GetFrameCounts(IDirect3DDevice9* device, FrameCounts* counts)
{
    auto* gl = dynamic_cast<GlDevice9*>(device);
    if (gl == nullptr || counts == nullptr) {
        return false;
    }
    *counts = gl->Counts();
    return true;
}

bool SetFullRedraw(IDirect3DDevice9* device, bool full)
{
    auto* gl = dynamic_cast<GlDevice9*>(device);
    if (gl == nullptr) {
        return false;
    }
    gl->SetFullRedraw(full);
    return true;
}

void SetCapsFilter(std::function<void(D3DCAPS9&)> filter)
{
    GlDirect3D9::SetCapsFilter(std::move(filter));
}

}  // namespace platform::d3d9
