// The entry object: adapters, display modes, capabilities and device creation.
#pragma once

#include "platform/d3d9/D3D9Types.h"
#include "platform/d3d9/IDirect3DDevice9.h"
#include "platform/d3d9/IUnknown.h"

inline constexpr IID IID_IDirect3D9 = {0x51a7d301, 0x0d39, 0x4e11, {0x9a, 0x31, 0, 0, 0, 0, 0, 0x01}};

struct IDirect3D9 : IUnknown {
    virtual UINT GetAdapterCount() = 0;
    virtual HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) = 0;
    virtual HRESULT GetAdapterIdentifier(UINT adapter, DWORD flags, D3DADAPTER_IDENTIFIER9* identifier) = 0;
    virtual HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) = 0;
    virtual HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                                      D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) = 0;
    // The device draws into the SDL window behind the presentation window
    // (hDeviceWindow, else the focus window); a handle without an SDL window
    // (the desktop) gets a hidden window of the device's own.
    virtual HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                                 D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** device) = 0;
};

// Answers a new Direct3D object with one reference, or null for another SDK version.
extern "C" IDirect3D9* Direct3DCreate9(UINT sdkVersion);
