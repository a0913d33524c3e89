#include "framework/core/hardware/HardwareCheck.h"

#include <cstdlib>
#include <cstring>
#include <ctime>

#include "framework/core/properties/BasicProperties.h"
#include "framework/core/util/Platform.h"
#include "platform/win32/WinLibrary.h"
#include "platform/win32/WinWindow.h"

namespace Qmv2 {

namespace {

// The generic frame-buffer driver: no acceleration behind it.
constexpr const char* kFrameBufferDriver = "framebuf";
constexpr const char* kCaptionKey = "CTEXT_ERROR";
constexpr const char* kNoDisplayKey = "CTEXT_ERROR_NO_DISPLAY";
constexpr const char* kNoDriverKey = "CTEXT_ERROR_NO_DRIVER";
constexpr const char* kWrongRuntimeKey = "CTEXT_ERROR_WRONG_DIRECTX";
constexpr const char* kNoHardwareKey = "CTEXT_ERROR_NO_HARDWARESUPPORT";

constexpr DWORD kTestVertexFormat = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;
constexpr D3DCOLOR kTestVertexColor = 0xAAFFFFFF;

struct TestVertex {
    float x, y, z, rhw;
    D3DCOLOR color;
    float u, v;
};
static_assert(sizeof(TestVertex) == 28, "the test quad uses 28-byte vertices");

using CreateFunction = IDirect3D9* (*)(UINT);

// Holds one reference of a device object and gives it back on scope exit.
template <typename T>
class Held {
public:
    Held() = default;
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    ~Held()
    {
        if (m_Object != nullptr) {
            m_Object->Release();
        }
    }
    T** Out() { return &m_Object; }
    T* Get() const { return m_Object; }

private:
    T* m_Object = nullptr;
};

D3DMATRIX Identity()
{
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

// Left-handed orthographic projection of a width x height view.
D3DMATRIX Orthographic(float width, float height, float nearZ, float farZ)
{
    D3DMATRIX m{};
    m._11 = 2.0f / width;
    m._22 = 2.0f / height;
    m._33 = 1.0f / (farZ - nearZ);
    m._43 = nearZ / (nearZ - farZ);
    m._44 = 1.0f;
    return m;
}

bool LockAndUnlock(IDirect3DTexture9* texture)
{
    D3DLOCKED_RECT locked{};
    if (FAILED(texture->LockRect(0, &locked, nullptr, 0))) {
        return false;
    }
    texture->UnlockRect(0);
    texture->AddDirtyRect(nullptr);
    return true;
}

}  // namespace

HardwareCheck::HardwareCheck(DisplaySettingsFunction displaySettings) : m_DisplaySettings(displaySettings) {}

HardwareCheck::~HardwareCheck()
{
    if (m_Device != nullptr) {
        m_Device->Release();
        m_Device = nullptr;
    }
    if (m_Direct3D != nullptr) {
        m_Direct3D->Release();
        m_Direct3D = nullptr;
    }
    if (m_Module != nullptr) {
        FreeLibrary(m_Module);
        m_Module = nullptr;
    }
}

bool HardwareCheck::RunStartupCheck()
{
    HardwareCheck check;
    return check.Run();
}

bool HardwareCheck::Run()
{
    DEVMODEA current{};
    current.dmSize = sizeof current;
    // No settings at all means no display was opened; a display that only
    // the generic frame buffer drives has no graphics driver behind it.
    if (m_DisplaySettings == nullptr || !m_DisplaySettings(nullptr, ENUM_CURRENT_SETTINGS, &current)) {
        return Fail(kNoDisplayKey);
    }
    if (!HasRealDisplayDriver(current)) {
        return Fail(kNoDriverKey);
    }
    if (!LoadRuntime()) {
        return Fail(kWrongRuntimeKey);
    }
    if (!CreateTestDevice()) {
        return Fail(kNoHardwareKey);
    }
    if (!RenderToTexture()) {
        return Fail(kNoHardwareKey);
    }
    return true;
}

bool HardwareCheck::HasRealDisplayDriver(const DEVMODEA& mode)
{
    char name[CCHDEVICENAME + 1] = {};
    std::memcpy(name, mode.dmDeviceName, CCHDEVICENAME);
    return std::strcmp(name, kFrameBufferDriver) != 0;
}

bool HardwareCheck::LoadRuntime()
{
    m_Module = LoadLibraryA("d3d9.dll");
    return m_Module != nullptr;
}

bool HardwareCheck::HasTrueColorMode()
{
    for (DWORD number = 0; number < kDisplayModesTried; ++number) {
        DEVMODEA mode{};
        mode.dmSize = sizeof mode;
        if (!m_DisplaySettings(nullptr, number, &mode)) {
            return false;
        }
        if (mode.dmBitsPerPel == 32) {
            return true;
        }
    }
    return false;
}

bool HardwareCheck::CreateTestDevice()
{
    auto create = reinterpret_cast<CreateFunction>(GetProcAddress(m_Module, "Direct3DCreate9"));
    if (create == nullptr) {
        return false;
    }
    m_Direct3D = create(D3D_SDK_VERSION);
    if (m_Direct3D == nullptr) {
        return false;
    }
    if (FAILED(m_Direct3D->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &m_Caps))) {
        return false;
    }
    if (!HasTrueColorMode()) {
        return false;
    }
    if (m_Caps.MaxTextureWidth < kMinimumTextureSize || m_Caps.MaxTextureHeight < kMinimumTextureSize) {
        return false;
    }
    if (FAILED(m_Direct3D->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &m_DisplayMode))) {
        return false;
    }
    HWND desktop = GetDesktopWindow();
    D3DPRESENT_PARAMETERS parameters{};
    parameters.BackBufferFormat = m_DisplayMode.Format;
    parameters.BackBufferCount = 1;
    parameters.MultiSampleType = D3DMULTISAMPLE_NONE;
    parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
    parameters.hDeviceWindow = desktop;
    parameters.Windowed = TRUE;
    parameters.EnableAutoDepthStencil = FALSE;
    parameters.AutoDepthStencilFormat = D3DFMT_D16;
    parameters.PresentationInterval = D3DPRESENT_INTERVAL_DEFAULT;
    if (FAILED(m_Direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, desktop,
                                        D3DCREATE_SOFTWARE_VERTEXPROCESSING, &parameters, &m_Device)) ||
        m_Device == nullptr) {
        return false;
    }
    if (FAILED(m_Direct3D->CheckDeviceFormat(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, m_DisplayMode.Format,
                                             D3DUSAGE_RENDERTARGET, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8))) {
        return false;
    }
    SetTestStates();
    if (FAILED(m_Device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0))) {
        return false;
    }
    m_Device->SetVertexShader(nullptr);
    return true;
}

void HardwareCheck::SetTestStates()
{
    m_Device->SetRenderState(D3DRS_LIGHTING, FALSE);
    m_Device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    m_Device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    m_Device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    m_Device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    m_Device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    m_Device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    m_Device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    m_Device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    m_Device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    m_Device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
}

bool HardwareCheck::RenderToTexture()
{
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    constexpr UINT size = kTestTargetSize;
    constexpr float extent = static_cast<float>(size);
    const D3DMATRIX projection = Orthographic(extent, extent, -2.0f, 10.0f);
    const D3DMATRIX identity = Identity();
    m_Device->SetTransform(D3DTS_PROJECTION, &projection);
    m_Device->SetTransform(D3DTS_WORLD, &identity);
    m_Device->SetTransform(D3DTS_VIEW, &identity);

    Held<IDirect3DTexture9> target;
    Held<IDirect3DSurface9> targetSurface;
    if (FAILED(m_Device->CreateTexture(size, size, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                       target.Out(), nullptr)) ||
        target.Get() == nullptr || FAILED(target.Get()->GetSurfaceLevel(0, targetSurface.Out())) ||
        targetSurface.Get() == nullptr) {
        return false;
    }

    Held<IDirect3DTexture9> system;
    if (FAILED(m_Device->CreateTexture(size, size, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, system.Out(),
                                       nullptr)) ||
        system.Get() == nullptr || !LockAndUnlock(system.Get()) ||
        FAILED(m_Device->UpdateTexture(system.Get(), target.Get()))) {
        return false;
    }

    Held<IDirect3DTexture9> managed;
    if (FAILED(m_Device->CreateTexture(size, size, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, managed.Out(),
                                       nullptr)) ||
        managed.Get() == nullptr || !LockAndUnlock(managed.Get())) {
        return false;
    }

    m_Device->SetFVF(kTestVertexFormat);
    Held<IDirect3DVertexBuffer9> quad;
    if (FAILED(m_Device->SetRenderTarget(0, targetSurface.Get())) ||
        FAILED(m_Device->CreateVertexBuffer(4 * sizeof(TestVertex), D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY,
                                            kTestVertexFormat, D3DPOOL_DEFAULT, quad.Out(), nullptr)) ||
        quad.Get() == nullptr) {
        return false;
    }
    void* bytes = nullptr;
    if (FAILED(quad.Get()->Lock(0, 0, &bytes, D3DLOCK_DISCARD)) || bytes == nullptr) {
        return false;
    }
    const float low = -0.5f;
    const float high = extent - 0.5f;
    const TestVertex corners[4] = {
        {low, low, 0.0f, 1.0f, kTestVertexColor, 0.0f, 0.0f},
        {high, low, 0.0f, 1.0f, kTestVertexColor, 1.0f, 0.0f},
        {low, high, 0.0f, 1.0f, kTestVertexColor, 0.0f, 1.0f},
        {high, high, 0.0f, 1.0f, kTestVertexColor, 1.0f, 1.0f},
    };
    std::memcpy(bytes, corners, sizeof corners);
    quad.Get()->Unlock();

    if (FAILED(m_Device->BeginScene())) {
        return false;
    }
    m_Device->SetTexture(0, managed.Get());
    m_Device->SetStreamSource(0, quad.Get(), 0, sizeof(TestVertex));
    const bool drawn = SUCCEEDED(m_Device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2));
    const bool ended = SUCCEEDED(m_Device->EndScene());
    m_Device->SetTexture(0, nullptr);
    m_Device->SetStreamSource(0, nullptr, 0, 0);
    if (!drawn || !ended) {
        return false;
    }

    Held<IDirect3DSurface9> readBack;
    return SUCCEEDED(system.Get()->GetSurfaceLevel(0, readBack.Out())) && readBack.Get() != nullptr &&
           SUCCEEDED(m_Device->GetRenderTargetData(targetSurface.Get(), readBack.Get()));
}

bool HardwareCheck::Fail(const std::string& textKey)
{
    std::string text = textKey;
    std::string caption = kCaptionKey;
    if (BasicProperties* basic = BasicProperties::GetInstance()) {
        // A text the tables lack would make an empty box; the key at least names the problem.
        if (const std::string& found = basic->GetString(textKey); !found.empty()) {
            text = found;
        }
        if (const std::string& found = basic->GetString(kCaptionKey); !found.empty()) {
            caption = found;
        }
    }
    Platform::ShowMessage(text, caption);
    return false;
}

}  // namespace Qmv2
