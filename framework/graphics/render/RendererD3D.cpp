#include "framework/graphics/render/RendererD3D.h"

#include "framework/core/app/GameWindowWin32.h"
#include "framework/core/app/TaskManager.h"
#include "framework/graphics/draw/Graphics.h"
#include "framework/graphics/image/ImageManager.h"
#include "framework/graphics/render/BufferD3D.h"
#include "framework/graphics/render/ImageDataBufferD3D.h"
#include "framework/graphics/render/IndexBufferD3D.h"
#include "framework/graphics/render/VertexBufferD3D.h"

namespace Qmv2 {

namespace {

using CreateFunction = IDirect3D9* (*)(UINT);

constexpr float kNear = -2.0f;
constexpr float kFar = 10.0f;

template <typename T>
void ReleaseCom(T*& object)
{
    if (T* old = std::exchange(object, nullptr)) {
        old->Release();
    }
}

// The four stage-0 states a stage mode sets, in the order of m_StageStates.
constexpr D3DTEXTURESTAGESTATETYPE kStageTypes[4] = {D3DTSS_COLOROP, D3DTSS_COLORARG1, D3DTSS_ALPHAOP,
                                                     D3DTSS_ALPHAARG1};

}  // namespace

RendererD3D* RendererD3D::GetD3D()
{
    Renderer* renderer = Renderer::GetInstance();
    return renderer != nullptr && renderer->IsOfType(&RendererD3D::s_Type) ? static_cast<RendererD3D*>(renderer)
                                                                           : nullptr;
}

RendererD3D::RendererD3D()
{
    for (int i = 0; i < 4; ++i) {
        m_Identity.m[i][i] = 1.0f;
    }
}

RendererD3D::~RendererD3D()
{
    ReleaseResources();
    m_Declaration.Reset();
    ReleaseCom(m_Device);
    ReleaseCom(m_D3D);
    if (m_Library != nullptr) {
        FreeLibrary(std::exchange(m_Library, nullptr));
    }
}

std::int32_t RendererD3D::Init(std::int32_t width, std::int32_t height)
{
    m_ScreenWidth = width;
    m_ScreenHeight = height;
    m_Library = LoadLibraryA("d3d9.dll");
    if (m_Library == nullptr) {
        return kLibraryNotFound;
    }
    auto create = reinterpret_cast<CreateFunction>(GetProcAddress(m_Library, "Direct3DCreate9"));
    if (create == nullptr) {
        return kNoCreateFunction;
    }
    m_D3D = create(D3D_SDK_VERSION);
    if (m_D3D == nullptr) {
        return kNoDirectObject;
    }
    if (FAILED(m_D3D->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &m_Caps))) {
        return kNoCaps;
    }
    if (m_Caps.MaxTextureWidth < static_cast<DWORD>(kTextureSizeLimit) ||
        m_Caps.MaxTextureHeight < static_cast<DWORD>(kTextureSizeLimit)) {
        return kTextureSizeTooSmall;
    }
    FillPresentParameters();
    m_MaxTextureWidth = static_cast<std::int32_t>(m_Caps.MaxTextureWidth);
    m_MaxTextureHeight = static_cast<std::int32_t>(m_Caps.MaxTextureHeight);
    const DWORD processing = (m_Caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT) != 0
                                 ? D3DCREATE_HARDWARE_VERTEXPROCESSING
                                 : D3DCREATE_SOFTWARE_VERTEXPROCESSING;
    if (FAILED(m_D3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, m_Parameters.hDeviceWindow,
                                   processing | D3DCREATE_MULTITHREADED, &m_Parameters, &m_Device))) {
        m_Device = nullptr;
        return kNoDevice;
    }
    CreateScreenTarget();
    SetDefaultState();
    UpdateScreenProjection();
    BuildSharedBuffers();
    D3DADAPTER_IDENTIFIER9 identifier{};
    if (m_D3D->GetAdapterIdentifier(D3DADAPTER_DEFAULT, 0, &identifier) != D3D_OK) {
        return kNoAdapterId;
    }
    m_PowerOfTwo = (m_Caps.TextureCaps & D3DPTEXTURECAPS_POW2) != 0;
    m_Square = (m_Caps.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY) != 0;
    m_SeparateAlphaAvailable = (m_Caps.PrimitiveMiscCaps & D3DPMISCCAPS_SEPARATEALPHABLEND) != 0;
    m_Initialised = true;
    return kNone;
}

void RendererD3D::FillPresentParameters()
{
    m_Parameters = D3DPRESENT_PARAMETERS{};
    m_Parameters.BackBufferWidth = static_cast<UINT>(m_ScreenWidth);
    m_Parameters.BackBufferHeight = static_cast<UINT>(m_ScreenHeight);
    D3DDISPLAYMODE mode{};
    if (m_D3D != nullptr && SUCCEEDED(m_D3D->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode))) {
        m_Parameters.BackBufferFormat = mode.Format;
    }
    m_Parameters.BackBufferCount = 1;
    m_Parameters.MultiSampleType = D3DMULTISAMPLE_NONE;
    m_Parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
    bool fullscreen = false;
    if (GameWindow* window = GameWindow::GetInstance()) {
        if (window->IsOfType(&GameWindowWin32::s_Type)) {
            m_Parameters.hDeviceWindow = static_cast<GameWindowWin32*>(window)->GetHandle();
        }
        fullscreen = window->IsFullscreen() && !window->IsMinimized();
    }
    m_Parameters.Windowed = fullscreen ? FALSE : TRUE;
    m_Parameters.EnableAutoDepthStencil = FALSE;
    m_Parameters.AutoDepthStencilFormat = D3DFMT_D16;
    m_Parameters.PresentationInterval = m_VerticalSync ? D3DPRESENT_INTERVAL_ONE : D3DPRESENT_INTERVAL_IMMEDIATE;
}

void RendererD3D::SetDefaultState()
{
    m_SourceBlend = D3DBLEND_SRCALPHA;
    m_DestBlend = D3DBLEND_INVSRCALPHA;
    m_AlphaOperation = D3DBLENDOP_MAX;
    m_SeparateAlpha = false;
    m_StageMode = kStageTextured;
    m_AlphaBlend = true;
    m_CurrentTexture = nullptr;
    if (m_Device == nullptr) {
        return;
    }
    m_Device->SetRenderState(D3DRS_LIGHTING, FALSE);
    m_Device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    m_Device->SetRenderState(D3DRS_SRCBLEND, m_SourceBlend);
    m_Device->SetRenderState(D3DRS_DESTBLEND, m_DestBlend);
    m_Device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    m_Device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    m_Device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    m_Device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    m_Device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    m_Device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    m_Device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    // The texture stage cache starts from the device's own stage-0 values.
    for (int i = 0; i < 4; ++i) {
        DWORD value = 0;
        if (SUCCEEDED(m_Device->GetTextureStageState(0, kStageTypes[i], &value))) {
            m_StageStates[i] = value;
        }
    }
    Color white;
    Clear(white);
    DWORD separate = FALSE;
    m_Device->GetRenderState(D3DRS_SEPARATEALPHABLENDENABLE, &separate);
    m_SeparateAlpha = separate == TRUE && m_SeparateAlphaAvailable;
    DWORD operation = m_AlphaOperation;
    if (SUCCEEDED(m_Device->GetRenderState(D3DRS_BLENDOPALPHA, &operation))) {
        m_AlphaOperation = operation;
    }
    m_Device->SetVertexShader(nullptr);
}

void RendererD3D::ReleaseSharedBuffers()
{
    m_VertexBuffer.Reset();
    m_IndexBuffer.Reset();
    m_Declaration.Reset();
}

void RendererD3D::BuildSharedBuffers()
{
    ReleaseSharedBuffers();
    const bool software = (m_Caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT) == 0;
    const auto budget = static_cast<std::uint32_t>(m_VertexBudget);
    m_VertexBuffer = new VertexBufferD3D(m_Device, budget, software);
    m_IndexBuffer = new IndexBufferD3D(m_Device, budget * 3 / 2);
    m_Declaration = new VertexDeclarationD3D(m_Device);
    if (m_Device == nullptr) {
        return;
    }
    m_Device->SetVertexDeclaration(m_Declaration->GetDeclaration());
    m_Device->SetStreamSource(0, static_cast<VertexBufferD3D*>(m_VertexBuffer.Get())->GetBuffer(), 0,
                              VertexBufferD3D::kVertexSize);
    m_Device->SetIndices(static_cast<IndexBufferD3D*>(m_IndexBuffer.Get())->GetBuffer());
}

void RendererD3D::ReacquireScreenSurface()
{
    if (m_ScreenTarget != nullptr && m_Device != nullptr) {
        IDirect3DSurface9* surface = nullptr;
        if (SUCCEEDED(m_Device->GetRenderTarget(0, &surface)) && surface != nullptr) {
            auto* screen = static_cast<BufferD3D*>(m_ScreenTarget.get());
            screen->SetSurface(surface);
            screen->SetSize(m_ScreenWidth, m_ScreenHeight);
            surface->Release();
        }
    }
    BuildSharedBuffers();
}

std::int32_t RendererD3D::Restore()
{
    if (ImageManager* images = ImageManager::GetInstance()) {
        images->ForEachDrawable([](ImageData* data) { data->UnloadTexture(); });
    }
    if (m_ScreenTarget != nullptr) {
        m_ScreenTarget->ReleaseSurface();
    }
    ReleaseSharedBuffers();
    m_CurrentTarget = nullptr;
    m_CurrentSurface = nullptr;
    m_CurrentTexture = nullptr;
    if (m_Device == nullptr) {
        return kDeviceNull;
    }
    if (m_Device->TestCooperativeLevel() == D3DERR_DEVICELOST) {
        ReacquireScreenSurface();
        return kReinitFailed;
    }
    FillPresentParameters();
    // A reset that fails leaves the device unusable: the lost flag stays and
    // the next frame tries again.
    const HRESULT reset = m_Device->Reset(&m_Parameters);
    ReacquireScreenSurface();
    if (FAILED(reset)) {
        return kReinitFailed;
    }
    SetDefaultState();
    UpdateScreenProjection();
    m_DeviceLost = false;
    return kNone;
}

bool RendererD3D::CheckDeviceLost()
{
    if (!m_DeviceLost && m_Device != nullptr && FAILED(m_Device->TestCooperativeLevel())) {
        m_DeviceLost = true;
    }
    return m_DeviceLost;
}

D3DMATRIX RendererD3D::MakeProjection(float width, float height)
{
    D3DMATRIX m{};
    m._11 = width != 0.0f ? 2.0f / width : 0.0f;
    m._22 = height != 0.0f ? 2.0f / height : 0.0f;
    m._33 = 1.0f / (kFar - kNear);
    m._43 = -kNear / (kFar - kNear);
    m._44 = 1.0f;
    return m;
}

void RendererD3D::UpdateScreenProjection()
{
    m_Projection = MakeProjection(static_cast<float>(m_ScreenWidth), static_cast<float>(m_ScreenHeight));
    ApplyScreenProjection();
}

void RendererD3D::ApplyScreenProjection()
{
    if (m_Device == nullptr) {
        return;
    }
    m_Device->SetTransform(D3DTS_WORLD, &m_Identity);
    m_Device->SetTransform(D3DTS_VIEW, &m_Identity);
    m_Device->SetTransform(D3DTS_PROJECTION, &m_Projection);
}

void RendererD3D::SetProjection(float width, float height)
{
    if (m_Device != nullptr) {
        const D3DMATRIX projection = MakeProjection(width, height);
        m_Device->SetTransform(D3DTS_PROJECTION, &projection);
    }
}

void RendererD3D::BeginScene()
{
    if (m_Device != nullptr) {
        m_Device->BeginScene();
    }
}

bool RendererD3D::EndScene()
{
    if (m_Device != nullptr) {
        m_Device->EndScene();
    }
    if (CheckDeviceLost()) {
        Restore();
        return false;
    }
    return true;
}

void RendererD3D::Present()
{
    if (m_Device != nullptr) {
        m_Device->Present(nullptr, nullptr, nullptr, nullptr);
    }
}

void RendererD3D::CreateScreenTarget()
{
    if (m_Device == nullptr) {
        return;
    }
    IDirect3DSurface9* surface = nullptr;
    m_Device->GetRenderTarget(0, &surface);
    if (m_ScreenTarget != nullptr) {
        ForgetTarget(m_ScreenTarget.get());
        m_ScreenTarget.reset();
    }
    m_ScreenTarget = std::make_unique<BufferD3D>(m_ScreenWidth, m_ScreenHeight, surface);
    m_ScreenGraphics = m_ScreenTarget->CreateGraphics();
    if (surface != nullptr) {
        surface->Release();
    }
}

void RendererD3D::SetBlendMode(std::int32_t mode)
{
    DWORD source = m_SourceBlend;
    DWORD dest = m_DestBlend;
    bool separate = false;
    DWORD operation = m_AlphaOperation;
    switch (mode) {
    case 0:
        source = D3DBLEND_SRCALPHA;
        dest = D3DBLEND_INVSRCALPHA;
        break;
    case 1:
        source = D3DBLEND_SRCALPHA;
        dest = D3DBLEND_ONE;
        break;
    case 2:
        source = D3DBLEND_ONE;
        dest = D3DBLEND_ONE;
        break;
    case 3:
        source = D3DBLEND_DESTCOLOR;
        dest = D3DBLEND_ZERO;
        break;
    case 4:
    case 5:
        source = D3DBLEND_ONE;
        dest = D3DBLEND_ZERO;
        break;
    case 6:
        source = D3DBLEND_SRCALPHA;
        dest = D3DBLEND_INVSRCALPHA;
        separate = m_SeparateAlphaAvailable;
        operation = D3DBLENDOP_MAX;
        break;
    default:
        break;
    }
    if (m_Device == nullptr) {
        return;
    }
    if (source != m_SourceBlend) {
        m_SourceBlend = source;
        m_Device->SetRenderState(D3DRS_SRCBLEND, source);
    }
    if (dest != m_DestBlend) {
        m_DestBlend = dest;
        m_Device->SetRenderState(D3DRS_DESTBLEND, dest);
    }
    if (separate != m_SeparateAlpha) {
        m_SeparateAlpha = separate;
        m_Device->SetRenderState(D3DRS_SEPARATEALPHABLENDENABLE, separate ? TRUE : FALSE);
    }
    if (m_SeparateAlpha && operation != m_AlphaOperation) {
        m_AlphaOperation = operation;
        m_Device->SetRenderState(D3DRS_BLENDOPALPHA, operation);
    }
}

void RendererD3D::EnableAlphaBlend(bool enable)
{
    if (m_Device != nullptr && enable != m_AlphaBlend) {
        m_AlphaBlend = enable;
        m_Device->SetRenderState(D3DRS_ALPHABLENDENABLE, enable ? TRUE : FALSE);
    }
}

void RendererD3D::SetStageState(std::int32_t slot, D3DTEXTURESTAGESTATETYPE type, DWORD value)
{
    if (m_StageStates[slot] != value) {
        m_StageStates[slot] = value;
        m_Device->SetTextureStageState(0, type, value);
    }
}

void RendererD3D::SetStageMode(std::int32_t mode)
{
    if (m_Device == nullptr) {
        return;
    }
    m_StageMode = mode;
    switch (mode) {
    case kStageTextured:
        SetStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
        SetStageState(1, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        SetStageState(2, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        SetStageState(3, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
        break;
    case kStageAlphaOnly:
        SetStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        SetStageState(1, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
        SetStageState(2, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        SetStageState(3, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
        break;
    default:
        SetStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        SetStageState(1, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
        SetStageState(2, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        SetStageState(3, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
        break;
    }
}

void RendererD3D::SetRenderTarget(iRenderTarget* target)
{
    if (target == nullptr || m_Device == nullptr || !target->GetType()->IsDerivedFrom(&BufferD3D::s_Type)) {
        return;
    }
    auto* buffer = static_cast<BufferD3D*>(target);
    if (target == m_CurrentTarget && buffer->GetSurface() == m_CurrentSurface && m_CurrentSurface != nullptr) {
        return;
    }
    if (buffer->GetSurface() == nullptr) {
        target->CreateSurface();
    }
    m_Device->SetRenderTarget(0, buffer->GetSurface());
    m_CurrentSurface = buffer->GetSurface();
    Renderer::SetRenderTarget(target);
}

void RendererD3D::ForgetTarget(const iRenderTarget* target)
{
    if (m_CurrentTarget == target) {
        m_CurrentSurface = nullptr;
    }
    Renderer::ForgetTarget(target);
}

void RendererD3D::SetTexture(ImageData* texture)
{
    if (texture != nullptr) {
        // Stamped on every use, so a texture drawn every frame never counts as idle.
        if (TaskManager* tasks = TaskManager::GetInstance()) {
            texture->SetLastUseTime(tasks->GetCurrentTime());
        }
    }
    if (texture == m_CurrentTexture && (texture == nullptr || !texture->IsReleased())) {
        return;
    }
    if (m_Device == nullptr) {
        return;
    }
    IDirect3DTexture9* d3dTexture = nullptr;
    if (texture != nullptr && texture->IsOfType(&ImageDataD3D::s_Type)) {
        d3dTexture = static_cast<ImageDataD3D*>(texture)->GetTexture();
    }
    m_Device->SetTexture(0, d3dTexture);
    Renderer::SetTexture(texture);
}

void RendererD3D::Clear(Color& color)
{
    if (m_Device != nullptr) {
        m_Device->Clear(0, nullptr, D3DCLEAR_TARGET, color.Pack(), 1.0f, 0);
    }
}

void RendererD3D::Draw(VertexBufferSlice& slice)
{
    if (m_DeviceLost || m_Device == nullptr) {
        return;
    }
    if (slice.kind == VertexBufferSlice::kClear) {
        Clear(slice.color);
        return;
    }
    if (slice.kind != VertexBufferSlice::kTriangles && slice.kind != VertexBufferSlice::kLines) {
        return;
    }
    SetBlendMode(slice.blendMode);
    EnableAlphaBlend(slice.alphaBlending);
    if (slice.texture == nullptr) {
        SetStageMode(kStageUntextured);
    } else {
        SetStageMode(slice.texture->IsAlphaOnly() ? kStageAlphaOnly : kStageTextured);
    }
    const auto count = static_cast<std::int64_t>(slice.vertexCount);
    if (slice.kind == VertexBufferSlice::kTriangles) {
        SetTexture(slice.texture);
        switch (slice.topology) {
        case VertexBufferSlice::kList:
            if (slice.indexCount >= 3) {
                m_Device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, slice.firstVertex, slice.vertexCount,
                                               slice.firstIndex, slice.indexCount / 3);
            }
            break;
        case VertexBufferSlice::kStrip:
        case VertexBufferSlice::kFan:
            if (count > 2) {
                m_Device->DrawPrimitive(slice.topology == VertexBufferSlice::kStrip ? D3DPT_TRIANGLESTRIP
                                                                                    : D3DPT_TRIANGLEFAN,
                                        slice.firstVertex, static_cast<UINT>(count - 2));
            }
            break;
        default:
            break;
        }
    } else {
        SetTexture(nullptr);
        if (slice.topology == VertexBufferSlice::kList && count >= 2) {
            m_Device->DrawPrimitive(D3DPT_LINELIST, slice.firstVertex, static_cast<UINT>(count / 2));
        } else if (slice.topology == VertexBufferSlice::kStrip && count >= 2) {
            m_Device->DrawPrimitive(D3DPT_LINESTRIP, slice.firstVertex, static_cast<UINT>(count - 1));
        }
    }
}

ImageData* RendererD3D::CreateTexture(std::int32_t width, std::int32_t height)
{
    if (m_Device == nullptr || width > kTextureSizeLimit || height > kTextureSizeLimit || width <= 0 ||
        height <= 0) {
        return nullptr;
    }
    std::int32_t textureWidth = width;
    std::int32_t textureHeight = height;
    AdjustTextureSize(textureWidth, textureHeight);
    IDirect3DTexture9* texture = nullptr;
    if (FAILED(m_Device->CreateTexture(static_cast<UINT>(textureWidth), static_cast<UINT>(textureHeight), 1, 0,
                                       D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr)) ||
        texture == nullptr) {
        return nullptr;
    }
    auto* data = ImageData::Create<ImageDataD3D>(width, height, textureWidth, textureHeight, true, texture);
    texture->Release();
    data->ClearPixels();
    return data;
}

ImageData* RendererD3D::CreateRenderTexture(std::int32_t width, std::int32_t height, bool alpha)
{
    if (m_Device == nullptr || width > kTextureSizeLimit || height > kTextureSizeLimit || width <= 0 ||
        height <= 0) {
        return nullptr;
    }
    std::int32_t textureWidth = width;
    std::int32_t textureHeight = height;
    AdjustTextureSize(textureWidth, textureHeight);
    const D3DFORMAT format = alpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    IDirect3DTexture9* texture = nullptr;
    if (FAILED(m_Device->CreateTexture(static_cast<UINT>(textureWidth), static_cast<UINT>(textureHeight), 1,
                                       D3DUSAGE_RENDERTARGET, format, D3DPOOL_DEFAULT, &texture, nullptr)) ||
        texture == nullptr) {
        return nullptr;
    }
    IDirect3DSurface9* copy = nullptr;
    IDirect3DSurface9* surface = nullptr;
    if (FAILED(m_Device->CreateOffscreenPlainSurface(static_cast<UINT>(textureWidth),
                                                     static_cast<UINT>(textureHeight), format, D3DPOOL_SYSTEMMEM,
                                                     &copy, nullptr)) ||
        copy == nullptr || FAILED(texture->GetSurfaceLevel(0, &surface)) || surface == nullptr) {
        ReleaseCom(copy);
        texture->Release();
        return nullptr;
    }
    auto* data = ImageData::Create<ImageDataBufferD3D>(surface, texture, copy, width, height, format, textureWidth,
                                                       textureHeight);
    data->SetHasAlpha(alpha);
    texture->Release();
    surface->Release();
    data->ClearPixels();
    return data;
}

ImageData* RendererD3D::CaptureBackBuffer()
{
    if (m_Device == nullptr || m_ScreenTarget == nullptr) {
        return nullptr;
    }
    IDirect3DSurface9* backBuffer = nullptr;
    if (FAILED(m_Device->GetRenderTarget(0, &backBuffer)) || backBuffer == nullptr) {
        return nullptr;
    }
    const std::int32_t width = m_ScreenTarget->GetTargetWidth();
    const std::int32_t height = m_ScreenTarget->GetTargetHeight();
    const D3DFORMAT format =
        m_Parameters.BackBufferFormat != D3DFMT_UNKNOWN ? m_Parameters.BackBufferFormat : D3DFMT_X8R8G8B8;
    IDirect3DSurface9* copy = nullptr;
    if (FAILED(m_Device->CreateOffscreenPlainSurface(static_cast<UINT>(width), static_cast<UINT>(height), format,
                                                     D3DPOOL_SYSTEMMEM, &copy, nullptr)) ||
        copy == nullptr) {
        backBuffer->Release();
        return nullptr;
    }
    auto* data = ImageData::Create<ImageDataBufferD3D>(backBuffer, nullptr, copy, width, height, format, width, height);
    m_Device->GetRenderTargetData(backBuffer, copy);
    backBuffer->Release();
    return data;
}

void RendererD3D::EvictManagedResources()
{
    if (m_Device != nullptr) {
        m_Device->EvictManagedResources();
    }
}

}  // namespace Qmv2
