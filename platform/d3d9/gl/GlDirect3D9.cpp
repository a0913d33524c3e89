#include "platform/d3d9/gl/GlDirect3D9.h"

#include "platform/d3d9/gl/GlContext.h"
#include "platform/d3d9/gl/GlDevice9.h"
#include "platform/d3d9/gl/PixelFormat.h"
#include "platform/win32/WindowHandle.h"

#include <SDL.h>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace platform::d3d9 {
namespace {

std::mutex g_filterLock;
std::function<void(D3DCAPS9&)> g_capsFilter;

bool IsOurAdapter(UINT adapter, D3DDEVTYPE type)
{
    return adapter == D3DADAPTER_DEFAULT && type == D3DDEVTYPE_HAL;
}

}  // namespace

void GlDirect3D9::SetCapsFilter(std::function<void(D3DCAPS9&)> filter)
{
    std::lock_guard<std::mutex> hold(g_filterLock);
    g_capsFilter = std::move(filter);
}

UINT GlDirect3D9::GetAdapterCount()
{
    return GlContext::EnsureVideo() && SDL_GetNumVideoDisplays() > 0 ? 1u : 0u;
}

HRESULT GlDirect3D9::GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode)
{
    if (mode == nullptr || adapter != D3DADAPTER_DEFAULT) {
        return D3DERR_INVALIDCALL;
    }
    SDL_DisplayMode desktop;
    if (!GlContext::EnsureVideo() || SDL_GetDesktopDisplayMode(0, &desktop) != 0) {
        return D3DERR_NOTAVAILABLE;
    }
    mode->Width = static_cast<UINT>(desktop.w);
    mode->Height = static_cast<UINT>(desktop.h);
    mode->RefreshRate = static_cast<UINT>(desktop.refresh_rate);
    // Desktops are drawn in 32-bit colour; the GL side has no other display format.
    mode->Format = D3DFMT_X8R8G8B8;
    return D3D_OK;
}

HRESULT GlDirect3D9::GetAdapterIdentifier(UINT adapter, DWORD, D3DADAPTER_IDENTIFIER9* identifier)
{
    if (identifier == nullptr || adapter != D3DADAPTER_DEFAULT) {
        return D3DERR_INVALIDCALL;
    }
    GlLimits limits;
    if (!GlContext::QueryLimits(&limits)) {
        return D3DERR_NOTAVAILABLE;
    }
    std::memset(identifier, 0, sizeof *identifier);
    const char* driver = SDL_GetCurrentVideoDriver();
    std::snprintf(identifier->Driver, sizeof identifier->Driver, "%s", driver != nullptr ? driver : "");
    std::snprintf(identifier->Description, sizeof identifier->Description, "%s %s", limits.vendor.c_str(),
                  limits.renderer.c_str());
    std::snprintf(identifier->DeviceName, sizeof identifier->DeviceName, "display0");
    return D3D_OK;
}

HRESULT GlDirect3D9::GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps)
{
    if (caps == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    if (!IsOurAdapter(adapter, type)) {
        return D3DERR_NOTAVAILABLE;
    }
    GlLimits limits;
    if (!GlContext::QueryLimits(&limits) || !limits.framebufferObjects) {
        return D3DERR_NOTAVAILABLE;
    }
    std::memset(caps, 0, sizeof *caps);
    caps->DeviceType = type;
    caps->AdapterOrdinal = adapter;
    caps->PresentationIntervals = D3DPRESENT_INTERVAL_ONE | D3DPRESENT_INTERVAL_IMMEDIATE;
    caps->DevCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT;
    caps->PrimitiveMiscCaps =
        D3DPMISCCAPS_CULLNONE | D3DPMISCCAPS_CULLCW | D3DPMISCCAPS_CULLCCW | D3DPMISCCAPS_BLENDOP;
    if (limits.separateBlend) {
        caps->PrimitiveMiscCaps |= D3DPMISCCAPS_SEPARATEALPHABLEND;
    }
    caps->TextureCaps = D3DPTEXTURECAPS_ALPHA;
    if (!limits.nonPowerOfTwo) {
        caps->TextureCaps |= D3DPTEXTURECAPS_POW2;
    }
    caps->MaxTextureWidth = static_cast<DWORD>(limits.maxTextureSize);
    caps->MaxTextureHeight = static_cast<DWORD>(limits.maxTextureSize);
    caps->MaxTextureAspectRatio = static_cast<DWORD>(limits.maxTextureSize);
    caps->MaxSimultaneousTextures = 1;
    caps->MaxPrimitiveCount = 0xFFFFFFu;
    caps->MaxVertexIndex = 0xFFFFFFu;
    std::lock_guard<std::mutex> hold(g_filterLock);
    if (g_capsFilter) {
        g_capsFilter(*caps);
    }
    return D3D_OK;
}

HRESULT GlDirect3D9::CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                                       D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat)
{
    if (!IsOurAdapter(adapter, type) || adapterFormat != D3DFMT_X8R8G8B8) {
        return D3DERR_NOTAVAILABLE;
    }
    GlLimits limits;
    if (!GlContext::QueryLimits(&limits)) {
        return D3DERR_NOTAVAILABLE;
    }
    if ((usage & ~D3DUSAGE_RENDERTARGET) != 0) {
        return D3DERR_NOTAVAILABLE;
    }
    bool renderTarget = (usage & D3DUSAGE_RENDERTARGET) != 0;
    switch (resourceType) {
    case D3DRTYPE_TEXTURE:
    case D3DRTYPE_SURFACE:
        if (renderTarget) {
            return IsRenderTargetFormat(checkFormat) && limits.framebufferObjects ? D3D_OK : D3DERR_NOTAVAILABLE;
        }
        return IsTextureFormat(checkFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
    default:
        return D3DERR_NOTAVAILABLE;
    }
}

HRESULT GlDirect3D9::CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD,
                                  D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** device)
{
    if (device == nullptr || parameters == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *device = nullptr;
    if (!IsOurAdapter(adapter, type)) {
        return D3DERR_NOTAVAILABLE;
    }
    HWND window = parameters->hDeviceWindow != nullptr ? parameters->hDeviceWindow : focusWindow;
    SDL_Window* sdl = SdlWindowFromHwnd(window);
    D3DPRESENT_PARAMETERS resolved = *parameters;
    HRESULT result = GlDevice9::ResolveParameters(&resolved, sdl);
    if (FAILED(result)) {
        return result;
    }
    std::shared_ptr<GlContext> context = GlContext::Create(sdl);
    if (context == nullptr) {
        return D3DERR_NOTAVAILABLE;
    }
    *parameters = resolved;
    *device = new GlDevice9(std::move(context), window, resolved);
    return D3D_OK;
}

}  // namespace platform::d3d9

extern "C" IDirect3D9* Direct3DCreate9(UINT sdkVersion)
{
    if (sdkVersion != D3D_SDK_VERSION) {
        return nullptr;
    }
    return new platform::d3d9::GlDirect3D9();
}
