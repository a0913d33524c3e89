// The Direct3D object: one adapter (the display SDL reports first), its
// desktop mode, and capabilities read from the GL driver's limits.
#pragma once

#include "platform/d3d9/IDirect3D9.h"
#include "platform/d3d9/gl/ComObject.h"

#include <functional>

namespace platform::d3d9 {

class GlDirect3D9 final : public ComObject<IDirect3D9, IID_IDirect3D9> {
public:
    UINT GetAdapterCount() override;
    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override;
    HRESULT GetAdapterIdentifier(UINT adapter, DWORD flags, D3DADAPTER_IDENTIFIER9* identifier) override;
    HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) override;
    HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                              D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) override;
    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                         D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** device) override;

    static void SetCapsFilter(std::function<void(D3DCAPS9&)> filter);

private:
    ~GlDirect3D9() override = default;
};

}  // namespace platform::d3d9
