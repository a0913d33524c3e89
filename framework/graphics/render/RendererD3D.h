// The renderer on Direct3D 9's fixed-function pipeline: no shaders, no depth
// buffer, one texture stage, pre-transformed vertices. The library is loaded
// by name at run time.
#pragma once

#include "framework/core/object/SmartPtr.h"
#include "framework/graphics/render/Renderer.h"
#include "framework/graphics/render/VertexDeclarationD3D.h"
#include "platform/d3d9/IDirect3D9.h"
#include "platform/win32/WinLibrary.h"

namespace Qmv2 {

class RendererD3D : public Renderer {
public:
    QMV_CLASS_TYPE(RendererD3D, Renderer)

    // Texture stage modes: what a draw takes from the texture.
    enum StageMode : std::int32_t { kStageAlphaOnly = 0, kStageTextured = 1, kStageUntextured = 2 };

    // The renderer singleton when it is a Direct3D renderer, else null.
    static RendererD3D* GetD3D();

    RendererD3D();
    ~RendererD3D() override;

    std::int32_t Init(std::int32_t width, std::int32_t height) override;
    std::int32_t Restore() override;
    void UpdateScreenProjection() override;
    void SetProjection(float width, float height) override;
    void ApplyScreenProjection() override;
    void BeginScene() override;
    bool EndScene() override;
    void Present() override;
    void Reset() override { Restore(); }
    bool IsDeviceLost() override { return m_DeviceLost; }
    bool CheckDeviceLost() override;
    void SetDeviceLost() override { m_DeviceLost = true; }
    void CreateScreenTarget() override;
    void SetBlendMode(std::int32_t mode) override;
    void EnableAlphaBlend(bool enable) override;
    void SetRenderTarget(iRenderTarget* target) override;
    void SetTexture(ImageData* texture) override;
    void Clear(Color& color) override;
    void Draw(VertexBufferSlice& slice) override;
    ImageData* CreateTexture(std::int32_t width, std::int32_t height) override;
    ImageData* CreateRenderTexture(std::int32_t width, std::int32_t height, bool alpha) override;
    ImageData* CaptureBackBuffer() override;
    void EvictManagedResources() override;

    void ForgetTarget(const iRenderTarget* target) override;

    IDirect3DDevice9* GetDevice() const { return m_Device; }
    const D3DPRESENT_PARAMETERS& GetPresentParameters() const { return m_Parameters; }
    const D3DMATRIX& GetProjection() const { return m_Projection; }
    DWORD GetCachedSourceBlend() const { return m_SourceBlend; }
    DWORD GetCachedDestBlend() const { return m_DestBlend; }
    DWORD GetCachedAlphaOperation() const { return m_AlphaOperation; }
    bool IsSeparateAlphaEnabled() const { return m_SeparateAlpha; }
    std::int32_t GetStageMode() const { return m_StageMode; }
    bool IsAlphaBlendEnabled() const { return m_AlphaBlend; }

private:
    void FillPresentParameters();
    void SetDefaultState();
    void BuildSharedBuffers();
    void ReacquireScreenSurface();
    void ReleaseSharedBuffers();
    void SetStageMode(std::int32_t mode);
    void SetStageState(std::int32_t slot, D3DTEXTURESTAGESTATETYPE type, DWORD value);
    static D3DMATRIX MakeProjection(float width, float height);

    HMODULE m_Library = nullptr;
    IDirect3D9* m_D3D = nullptr;
    IDirect3DDevice9* m_Device = nullptr;
    D3DPRESENT_PARAMETERS m_Parameters{};
    D3DCAPS9 m_Caps{};
    D3DMATRIX m_Projection{};
    D3DMATRIX m_Identity{};
    bool m_DeviceLost = false;
    SmartPtr<VertexDeclarationD3D> m_Declaration;
    DWORD m_SourceBlend = D3DBLEND_SRCALPHA;
    DWORD m_DestBlend = D3DBLEND_INVSRCALPHA;
    DWORD m_AlphaOperation = D3DBLENDOP_MAX;
    bool m_SeparateAlpha = false;
    std::int32_t m_StageMode = kStageTextured;
    bool m_AlphaBlend = true;
    // Stage 0's colour operation, colour argument 1, alpha operation, alpha argument 1.
    DWORD m_StageStates[4] = {D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTOP_MODULATE, D3DTA_TEXTURE};
    IDirect3DSurface9* m_CurrentSurface = nullptr;
};

}  // namespace Qmv2
