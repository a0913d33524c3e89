#include "FakeD3D9.h"

#include <cstring>
#include <map>
#include <memory>

#include "platform/win32/WinLibrary.h"

namespace graphicstest {

namespace {

FakeState g_state;

void Log(const char* name, DWORD a = 0, DWORD b = 0, DWORD c = 0)
{
    g_state.calls.push_back({name, a, b, c});
}

template <typename I>
class Counted : public I {
public:
    Counted() { ++g_state.liveObjects; }
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
            --g_state.liveObjects;
            delete this;
        }
        return left;
    }

protected:
    ~Counted() override = default;

private:
    ULONG refs_ = 1;
};

class FakeSurface : public Counted<IDirect3DSurface9> {
public:
    FakeSurface(UINT width, UINT height) : width_(width), height_(height), pixels_(width * height, 0xDEADBEEF) {}
    HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT*, DWORD) override
    {
        locked->pBits = pixels_.data();
        locked->Pitch = static_cast<INT>(width_ * 4);
        return D3D_OK;
    }
    HRESULT UnlockRect() override { return D3D_OK; }
    std::vector<std::uint32_t>& Pixels() { return pixels_; }

private:
    UINT width_;
    UINT height_;
    std::vector<std::uint32_t> pixels_;
};

class FakeTexture : public Counted<IDirect3DTexture9> {
public:
    FakeTexture(UINT width, UINT height) : surface_(new FakeSurface(width, height)) {}
    ~FakeTexture() override { surface_->Release(); }
    HRESULT GetSurfaceLevel(UINT, IDirect3DSurface9** surface) override
    {
        surface_->AddRef();
        *surface = surface_;
        return D3D_OK;
    }
    HRESULT LockRect(UINT, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override
    {
        return surface_->LockRect(locked, rect, flags);
    }
    HRESULT UnlockRect(UINT) override { return D3D_OK; }
    HRESULT AddDirtyRect(const RECT*) override { return D3D_OK; }

private:
    FakeSurface* surface_;
};

template <typename I>
class FakeBuffer : public Counted<I> {
public:
    explicit FakeBuffer(UINT length) : bytes_(length) {}
    HRESULT Lock(UINT, UINT, void** data, DWORD flags) override
    {
        Log("Lock", flags);
        if (g_state.config.bufferLockFails) {
            return D3DERR_INVALIDCALL;
        }
        *data = bytes_.data();
        return D3D_OK;
    }
    HRESULT Unlock() override { return D3D_OK; }

private:
    std::vector<BYTE> bytes_;
};

class FakeDeclaration : public Counted<IDirect3DVertexDeclaration9> {};

class FakeDevice : public Counted<IDirect3DDevice9> {
public:
    explicit FakeDevice(const D3DPRESENT_PARAMETERS& p) : backBuffer_(new FakeSurface(p.BackBufferWidth, p.BackBufferHeight))
    {
        stage_[D3DTSS_COLOROP] = D3DTOP_MODULATE;
        stage_[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        stage_[D3DTSS_ALPHAOP] = D3DTOP_SELECTARG1;
        stage_[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        render_[D3DRS_BLENDOPALPHA] = D3DBLENDOP_ADD;
    }
    ~FakeDevice() override { backBuffer_->Release(); }

    HRESULT TestCooperativeLevel() override { return g_state.config.cooperative; }
    HRESULT Reset(D3DPRESENT_PARAMETERS* p) override
    {
        ++g_state.resets;
        Log("Reset", p->Windowed);
        return g_state.config.reset;
    }
    HRESULT Present(const RECT*, const RECT*, HWND, const void*) override
    {
        Log("Present");
        return D3D_OK;
    }
    HRESULT EvictManagedResources() override { return D3D_OK; }
    HRESULT BeginScene() override
    {
        Log("BeginScene");
        return D3D_OK;
    }
    HRESULT EndScene() override
    {
        Log("EndScene");
        return D3D_OK;
    }
    HRESULT Clear(DWORD, const D3DRECT*, DWORD flags, D3DCOLOR color, float, DWORD) override
    {
        Log("Clear", flags, color);
        return D3D_OK;
    }
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override
    {
        Log("SetRenderState", state, value);
        render_[state] = value;
        return D3D_OK;
    }
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override
    {
        *value = state == D3DRS_SEPARATEALPHABLENDENABLE ? g_state.config.separateAlphaReadBack : render_[state];
        return D3D_OK;
    }
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override
    {
        Log("SetTextureStageState", stage, type, value);
        stage_[type] = value;
        return D3D_OK;
    }
    HRESULT GetTextureStageState(DWORD, D3DTEXTURESTAGESTATETYPE type, DWORD* value) override
    {
        *value = stage_[type];
        return D3D_OK;
    }
    HRESULT SetSamplerState(DWORD, D3DSAMPLERSTATETYPE type, DWORD value) override
    {
        Log("SetSamplerState", type, value);
        return D3D_OK;
    }
    HRESULT GetSamplerState(DWORD, D3DSAMPLERSTATETYPE, DWORD* value) override
    {
        *value = 0;
        return D3D_OK;
    }
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX*) override
    {
        Log("SetTransform", state);
        return D3D_OK;
    }
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE, D3DMATRIX*) override { return D3D_OK; }
    HRESULT SetTexture(DWORD, IDirect3DBaseTexture9* texture) override
    {
        Log("SetTexture", texture != nullptr);
        return D3D_OK;
    }
    HRESULT SetVertexShader(IDirect3DVertexShader9*) override { return D3D_OK; }
    HRESULT SetFVF(DWORD) override { return D3D_OK; }
    HRESULT SetVertexDeclaration(IDirect3DVertexDeclaration9*) override { return D3D_OK; }
    HRESULT SetStreamSource(UINT, IDirect3DVertexBuffer9*, UINT, UINT stride) override
    {
        Log("SetStreamSource", stride);
        return D3D_OK;
    }
    HRESULT SetIndices(IDirect3DIndexBuffer9*) override { return D3D_OK; }
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT start, UINT count) override
    {
        Log("DrawPrimitive", type, start, count);
        return D3D_OK;
    }
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT, UINT minIndex, UINT vertices, UINT startIndex,
                                 UINT count) override
    {
        Log("DrawIndexedPrimitive", type, minIndex, count);
        (void)vertices;
        (void)startIndex;
        return D3D_OK;
    }
    HRESULT GetRenderTarget(DWORD, IDirect3DSurface9** surface) override
    {
        backBuffer_->AddRef();
        *surface = backBuffer_;
        return D3D_OK;
    }
    HRESULT SetRenderTarget(DWORD, IDirect3DSurface9*) override
    {
        Log("SetRenderTarget");
        return D3D_OK;
    }
    HRESULT GetRenderTargetData(IDirect3DSurface9* source, IDirect3DSurface9* destination) override
    {
        Log("GetRenderTargetData");
        static_cast<FakeSurface*>(destination)->Pixels() = static_cast<FakeSurface*>(source)->Pixels();
        return D3D_OK;
    }
    HRESULT UpdateSurface(IDirect3DSurface9* source, const RECT*, IDirect3DSurface9* destination,
                          const POINT*) override
    {
        Log("UpdateSurface");
        static_cast<FakeSurface*>(destination)->Pixels() = static_cast<FakeSurface*>(source)->Pixels();
        return D3D_OK;
    }
    HRESULT UpdateTexture(IDirect3DBaseTexture9*, IDirect3DBaseTexture9*) override { return D3D_OK; }
    HRESULT CreateTexture(UINT width, UINT height, UINT, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                          IDirect3DTexture9** texture, HANDLE*) override
    {
        Log("CreateTexture", width, height, usage | (static_cast<DWORD>(pool) << 8) | (format << 16));
        *texture = new FakeTexture(width, height);
        return D3D_OK;
    }
    HRESULT CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT, D3DPOOL, IDirect3DSurface9** surface,
                                        HANDLE*) override
    {
        *surface = new FakeSurface(width, height);
        return D3D_OK;
    }
    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD, D3DPOOL, IDirect3DVertexBuffer9** buffer,
                               HANDLE*) override
    {
        Log("CreateVertexBuffer", length, usage);
        *buffer = new FakeBuffer<IDirect3DVertexBuffer9>(length);
        return D3D_OK;
    }
    HRESULT CreateIndexBuffer(UINT length, DWORD, D3DFORMAT, D3DPOOL, IDirect3DIndexBuffer9** buffer,
                              HANDLE*) override
    {
        Log("CreateIndexBuffer", length);
        *buffer = new FakeBuffer<IDirect3DIndexBuffer9>(length);
        return D3D_OK;
    }
    HRESULT CreateVertexDeclaration(const D3DVERTEXELEMENT9*, IDirect3DVertexDeclaration9** declaration) override
    {
        *declaration = new FakeDeclaration;
        return D3D_OK;
    }

private:
    FakeSurface* backBuffer_;
    std::map<DWORD, DWORD> render_;
    std::map<DWORD, DWORD> stage_;
};

class FakeDirect3D9 : public Counted<IDirect3D9> {
public:
    UINT GetAdapterCount() override { return 1; }
    HRESULT GetAdapterDisplayMode(UINT, D3DDISPLAYMODE* mode) override
    {
        *mode = {800, 600, 60, D3DFMT_X8R8G8B8};
        return D3D_OK;
    }
    HRESULT GetAdapterIdentifier(UINT, DWORD, D3DADAPTER_IDENTIFIER9*) override
    {
        return g_state.config.identifierFails ? D3DERR_INVALIDCALL : D3D_OK;
    }
    HRESULT GetDeviceCaps(UINT, D3DDEVTYPE, D3DCAPS9* caps) override
    {
        if (g_state.config.capsFail) {
            return D3DERR_INVALIDCALL;
        }
        *caps = g_state.config.caps;
        return D3D_OK;
    }
    HRESULT CheckDeviceFormat(UINT, D3DDEVTYPE, D3DFORMAT, DWORD, D3DRESOURCETYPE, D3DFORMAT) override
    {
        return D3D_OK;
    }
    HRESULT CreateDevice(UINT, D3DDEVTYPE, HWND, DWORD flags, D3DPRESENT_PARAMETERS* p,
                         IDirect3DDevice9** device) override
    {
        Log("CreateDevice", flags, p->Windowed);
        if (g_state.config.deviceFails) {
            *device = nullptr;
            return D3DERR_NOTAVAILABLE;
        }
        ++g_state.devicesCreated;
        *device = new FakeDevice(*p);
        g_state.device = *device;
        return D3D_OK;
    }
};

IDirect3D9* FakeCreate(UINT version)
{
    if (g_state.config.createFails || version != D3D_SDK_VERSION) {
        return nullptr;
    }
    return new FakeDirect3D9;
}

}  // namespace

std::vector<FakeCall> FakeState::Named(const std::string& name) const
{
    std::vector<FakeCall> found;
    for (const FakeCall& call : calls) {
        if (call.name == name) {
            found.push_back(call);
        }
    }
    return found;
}

FakeState& InstallFakeD3D9()
{
    const int live = g_state.liveObjects;
    g_state = FakeState();
    g_state.liveObjects = live;
    g_state.config.caps.MaxTextureWidth = 1024;
    g_state.config.caps.MaxTextureHeight = 1024;
    g_state.config.caps.DevCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT;
    g_state.config.caps.PrimitiveMiscCaps = D3DPMISCCAPS_SEPARATEALPHABLEND;
    platform::RegisterLibrary("d3d9.dll", {{"Direct3DCreate9", platform::EntryPoint(&FakeCreate)}});
    return g_state;
}

FakeState& Fake()
{
    return g_state;
}

}  // namespace graphicstest
