#include "FakeDirect3D.h"

#include <cstring>

#include "platform/win32/WinLibrary.h"

namespace hardwaretest {

namespace {

FakeDirect3D g_fake;

HRESULT Log(const char* name, std::vector<DWORD> args = {})
{
    g_fake.calls.push_back({name, std::move(args)});
    if (g_fake.failOn == name && static_cast<int>(g_fake.Count(name)) == g_fake.failOccurrence) {
        return D3DERR_INVALIDCALL;
    }
    return D3D_OK;
}

template <typename I>
class Counted : public I {
public:
    Counted() { ++g_fake.liveObjects; }
    HRESULT QueryInterface(REFIID, void** object) override
    {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override
    {
        const ULONG left = --refs_;
        if (left == 0) {
            --g_fake.liveObjects;
            delete this;
        }
        return left;
    }

private:
    ULONG refs_ = 1;
};

class FakeSurface : public Counted<IDirect3DSurface9> {
public:
    HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT*, DWORD) override
    {
        locked->pBits = pixel_;
        locked->Pitch = 4;
        return Log("Surface::LockRect");
    }
    HRESULT UnlockRect() override { return Log("Surface::UnlockRect"); }

private:
    DWORD pixel_[1] = {};
};

class FakeTexture : public Counted<IDirect3DTexture9> {
public:
    explicit FakeTexture(DWORD pool) : pool_(pool) {}
    HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) override
    {
        *surface = nullptr;
        const HRESULT result = Log("GetSurfaceLevel", {level, pool_});
        if (SUCCEEDED(result)) {
            *surface = new FakeSurface;
        }
        return result;
    }
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT*, DWORD) override
    {
        locked->pBits = pixels_.data();
        locked->Pitch = 4;
        return Log("LockRect", {level, pool_});
    }
    HRESULT UnlockRect(UINT level) override { return Log("UnlockRect", {level, pool_}); }
    HRESULT AddDirtyRect(const RECT*) override { return Log("AddDirtyRect", {pool_}); }

private:
    DWORD pool_;
    std::vector<DWORD> pixels_ = std::vector<DWORD>(4);
};

class FakeVertexBuffer : public Counted<IDirect3DVertexBuffer9> {
public:
    explicit FakeVertexBuffer(UINT length) : bytes_(length) {}
    HRESULT Lock(UINT, UINT, void** data, DWORD flags) override
    {
        *data = bytes_.data();
        return Log("VertexBuffer::Lock", {flags});
    }
    HRESULT Unlock() override
    {
        g_fake.quadBytes = bytes_;
        return Log("VertexBuffer::Unlock");
    }

private:
    std::vector<BYTE> bytes_;
};

DWORD Bits(float value)
{
    DWORD bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

class FakeDevice : public Counted<IDirect3DDevice9> {
public:
    HRESULT TestCooperativeLevel() override { return Log("TestCooperativeLevel"); }
    HRESULT Reset(D3DPRESENT_PARAMETERS*) override { return Log("Reset"); }
    HRESULT Present(const RECT*, const RECT*, HWND, const void*) override { return Log("Present"); }
    HRESULT EvictManagedResources() override { return Log("EvictManagedResources"); }
    HRESULT BeginScene() override { return Log("BeginScene"); }
    HRESULT EndScene() override { return Log("EndScene"); }
    HRESULT Clear(DWORD count, const D3DRECT*, DWORD flags, D3DCOLOR color, float z, DWORD stencil) override
    {
        return Log("Clear", {count, flags, color, Bits(z), stencil});
    }
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override
    {
        return Log("SetRenderState", {state, value});
    }
    HRESULT GetRenderState(D3DRENDERSTATETYPE, DWORD* value) override
    {
        *value = 0;
        return Log("GetRenderState");
    }
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override
    {
        return Log("SetTextureStageState", {stage, type, value});
    }
    HRESULT GetTextureStageState(DWORD, D3DTEXTURESTAGESTATETYPE, DWORD* value) override
    {
        *value = 0;
        return Log("GetTextureStageState");
    }
    HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override
    {
        return Log("SetSamplerState", {sampler, type, value});
    }
    HRESULT GetSamplerState(DWORD, D3DSAMPLERSTATETYPE, DWORD* value) override
    {
        *value = 0;
        return Log("GetSamplerState");
    }
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX*) override
    {
        return Log("SetTransform", {state});
    }
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE, D3DMATRIX*) override { return Log("GetTransform"); }
    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override
    {
        return Log("SetTexture", {stage, texture != nullptr ? 1u : 0u});
    }
    HRESULT SetVertexShader(IDirect3DVertexShader9* shader) override
    {
        return Log("SetVertexShader", {shader != nullptr ? 1u : 0u});
    }
    HRESULT SetFVF(DWORD fvf) override { return Log("SetFVF", {fvf}); }
    HRESULT SetVertexDeclaration(IDirect3DVertexDeclaration9*) override { return Log("SetVertexDeclaration"); }
    HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride) override
    {
        return Log("SetStreamSource", {stream, buffer != nullptr ? 1u : 0u, offset, stride});
    }
    HRESULT SetIndices(IDirect3DIndexBuffer9*) override { return Log("SetIndices"); }
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT start, UINT count) override
    {
        return Log("DrawPrimitive", {type, start, count});
    }
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE, INT, UINT, UINT, UINT, UINT) override
    {
        return Log("DrawIndexedPrimitive");
    }
    HRESULT GetRenderTarget(DWORD, IDirect3DSurface9** surface) override
    {
        *surface = nullptr;
        return Log("GetRenderTarget");
    }
    HRESULT SetRenderTarget(DWORD index, IDirect3DSurface9* surface) override
    {
        return Log("SetRenderTarget", {index, surface != nullptr ? 1u : 0u});
    }
    HRESULT GetRenderTargetData(IDirect3DSurface9* target, IDirect3DSurface9* destination) override
    {
        return Log("GetRenderTargetData", {target != nullptr ? 1u : 0u, destination != nullptr ? 1u : 0u});
    }
    HRESULT UpdateSurface(IDirect3DSurface9*, const RECT*, IDirect3DSurface9*, const POINT*) override
    {
        return Log("UpdateSurface");
    }
    HRESULT UpdateTexture(IDirect3DBaseTexture9* source, IDirect3DBaseTexture9* destination) override
    {
        return Log("UpdateTexture", {source != nullptr ? 1u : 0u, destination != nullptr ? 1u : 0u});
    }
    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                          IDirect3DTexture9** texture, HANDLE*) override
    {
        *texture = nullptr;
        const HRESULT result = Log("CreateTexture", {width, height, levels, usage, format, pool});
        if (SUCCEEDED(result)) {
            *texture = new FakeTexture(pool);
        }
        return result;
    }
    HRESULT CreateOffscreenPlainSurface(UINT, UINT, D3DFORMAT, D3DPOOL, IDirect3DSurface9** surface,
                                        HANDLE*) override
    {
        *surface = nullptr;
        return Log("CreateOffscreenPlainSurface");
    }
    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool, IDirect3DVertexBuffer9** buffer,
                               HANDLE*) override
    {
        *buffer = nullptr;
        const HRESULT result = Log("CreateVertexBuffer", {length, usage, fvf, pool});
        if (SUCCEEDED(result)) {
            *buffer = new FakeVertexBuffer(length);
        }
        return result;
    }
    HRESULT CreateIndexBuffer(UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DIndexBuffer9** buffer, HANDLE*) override
    {
        *buffer = nullptr;
        return Log("CreateIndexBuffer");
    }
    HRESULT CreateVertexDeclaration(const D3DVERTEXELEMENT9*, IDirect3DVertexDeclaration9** declaration) override
    {
        *declaration = nullptr;
        return Log("CreateVertexDeclaration");
    }
};

class FakeObject : public Counted<IDirect3D9> {
public:
    UINT GetAdapterCount() override { return 1; }
    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override
    {
        *mode = g_fake.displayMode;
        return Log("GetAdapterDisplayMode", {adapter});
    }
    HRESULT GetAdapterIdentifier(UINT, DWORD, D3DADAPTER_IDENTIFIER9*) override { return Log("GetAdapterIdentifier"); }
    HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) override
    {
        *caps = g_fake.caps;
        return Log("GetDeviceCaps", {adapter, type});
    }
    HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                              D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) override
    {
        return Log("CheckDeviceFormat", {adapter, type, adapterFormat, usage, resourceType, checkFormat});
    }
    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND, DWORD behavior, D3DPRESENT_PARAMETERS* parameters,
                         IDirect3DDevice9** device) override
    {
        *device = nullptr;
        g_fake.presentParameters = *parameters;
        const HRESULT result = Log("CreateDevice", {adapter, type, behavior});
        if (SUCCEEDED(result)) {
            *device = new FakeDevice;
        }
        return result;
    }
};

IDirect3D9* FakeCreate(UINT sdkVersion)
{
    Log("Direct3DCreate9", {sdkVersion});
    return g_fake.createAnswersNull ? nullptr : new FakeObject;
}

}  // namespace

std::size_t FakeDirect3D::Count(const std::string& name) const
{
    std::size_t count = 0;
    for (const FakeCall& call : calls) {
        count += call.name == name ? 1 : 0;
    }
    return count;
}

long FakeDirect3D::IndexOf(const std::string& name) const
{
    for (std::size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].name == name) {
            return static_cast<long>(i);
        }
    }
    return -1;
}

const FakeCall* FakeDirect3D::First(const std::string& name) const
{
    const long index = IndexOf(name);
    return index >= 0 ? &calls[static_cast<std::size_t>(index)] : nullptr;
}

FakeDirect3D& InstallFakeDirect3D(bool withEntryPoint)
{
    g_fake = FakeDirect3D();
    g_fake.caps.DeviceType = D3DDEVTYPE_HAL;
    g_fake.caps.MaxTextureWidth = 1024;
    g_fake.caps.MaxTextureHeight = 1024;
    std::map<std::string, FARPROC> entryPoints;
    if (withEntryPoint) {
        entryPoints["Direct3DCreate9"] = platform::EntryPoint(&FakeCreate);
    }
    platform::RegisterLibrary("d3d9.dll", entryPoints);
    return g_fake;
}

FakeDirect3D& Fake()
{
    return g_fake;
}

}  // namespace hardwaretest
