// The abstract device layer between the framework's 2D drawing and the
// graphics device: the screen target, the shared vertex and index buffers, the
// screen's drawing object, texture creation, blend and texture state, the
// execution of recorded draw commands and the restore after device loss.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "framework/core/app/iMessageListener.h"
#include "framework/core/object/BaseObject.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/object/iInstance.h"
#include "framework/core/util/Color.h"
#include "framework/graphics/render/IndexBuffer.h"
#include "framework/graphics/render/VertexBuffer.h"
#include "framework/graphics/render/VertexBufferSlice.h"
#include "framework/graphics/render/iRenderTarget.h"

namespace Qmv2 {

class Graphics;
class ImageData;

class Renderer : public BaseObject, public iMessageListener, public iInstance<Renderer> {
public:
    QMV_TYPE_RECORD(Renderer, BaseObject, iMessageListener)
    const ClassType* GetType() const override { return &s_Type; }

    enum ErrorCode : std::int32_t {
        kNone = 0,
        kLibraryNotFound = 1,
        kNoCreateFunction = 2,
        kReinitFailed = 3,
        kNoDirectObject = 4,
        kNoCaps = 5,
        kTextureSizeTooSmall = 6,
        kNoAdapterId = 7,
        kNoDevice = 8,
        kDeviceNull = 9,
    };

    static constexpr std::int32_t kDefaultVertexBudget = 40000;
    // Indices are 16 bits wide: no vertex beyond this number can be reached.
    static constexpr std::int32_t kMaxVertexBudget = 65535;
    static constexpr std::int32_t kTextureSizeLimit = 1024;

    // The "renderer" start-up command: makes the Direct3D renderer the
    // singleton, applies the vertex budget when given (`vertices` > 0 or
    // `hasVertices`), initialises it for the screen size and answers the code.
    // A non-zero code has already been shown in a message box.
    static std::int32_t Create(std::int32_t width, std::int32_t height, bool hasVertices = false,
                               std::int32_t vertices = 0);
    // "<text of code> [<code>]." as the start-up failure shows it.
    static std::string GetStartupErrorMessage(std::int32_t code);
    static const char* GetErrorText(std::int32_t code);

    Renderer();
    ~Renderer() override;

    virtual std::int32_t Init(std::int32_t width, std::int32_t height) = 0;
    virtual std::int32_t Restore() = 0;
    virtual void UpdateScreenProjection() = 0;
    virtual void SetProjection(float width, float height) = 0;
    virtual void ApplyScreenProjection() = 0;
    virtual void BeginScene() = 0;
    // False when the device was lost during the scene (and a restore was tried).
    virtual bool EndScene() = 0;
    virtual void Present() {}
    virtual void Reset() = 0;
    virtual bool IsDeviceLost() = 0;
    virtual bool CheckDeviceLost() = 0;
    virtual void SetDeviceLost() = 0;
    virtual void CreateScreenTarget() = 0;
    virtual void SetBlendMode(std::int32_t mode) = 0;
    virtual void EnableAlphaBlend(bool enable) = 0;
    virtual void SetRenderTarget(iRenderTarget* target);
    virtual void SetTexture(ImageData* texture) { m_CurrentTexture = texture; }
    virtual void Clear(Color& color) = 0;
    virtual void Draw(VertexBufferSlice& slice) = 0;
    // New image data (no reference taken yet), or null.
    virtual ImageData* CreateTexture(std::int32_t width, std::int32_t height) = 0;
    virtual ImageData* CreateRenderTexture(std::int32_t width, std::int32_t height, bool alpha) = 0;
    virtual ImageData* CaptureBackBuffer() = 0;
    virtual void EvictManagedResources() {}
    // Called for each polygon slice the drawing object writes; nothing here.
    virtual void OnSliceWritten(VertexBufferSlice&, iRenderTarget*) {}

    void OnMessage(const Message& message) override;
    BaseObject* GetOwner() override { return this; }
    Interface* GetInterface(const ClassType* type) override;

    // Forget a texture or target that is going away, so that no cached
    // pointer outlives it.
    void ForgetTexture(const ImageData* texture)
    {
        if (m_CurrentTexture == texture) {
            m_CurrentTexture = nullptr;
        }
    }
    virtual void ForgetTarget(const iRenderTarget* target)
    {
        if (m_CurrentTarget == target) {
            m_CurrentTarget = nullptr;
        }
    }

    void ReleaseResources();
    void AdjustTextureSize(std::int32_t& width, std::int32_t& height) const;

    bool IsInitialised() const { return m_Initialised; }
    bool IsSeparateAlphaAvailable() const { return m_SeparateAlphaAvailable; }
    bool IsVerticalSync() const { return m_VerticalSync; }
    bool IsPowerOfTwoRequired() const { return m_PowerOfTwo; }
    bool IsSquareRequired() const { return m_Square; }
    iRenderTarget* GetScreenTarget() const { return m_ScreenTarget.get(); }
    VertexBuffer* GetVertexBuffer() const { return m_VertexBuffer.Get(); }
    IndexBuffer* GetIndexBuffer() const { return m_IndexBuffer.Get(); }
    std::int32_t GetMaxTextureWidth() const { return m_MaxTextureWidth; }
    std::int32_t GetMaxTextureHeight() const { return m_MaxTextureHeight; }
    std::int32_t GetScreenWidth() const { return m_ScreenWidth; }
    std::int32_t GetScreenHeight() const { return m_ScreenHeight; }
    std::int32_t GetVertexBudget() const { return m_VertexBudget; }
    // Clamped to 3 .. 65535 vertices.
    void SetVertexBudget(std::int32_t vertices);
    iRenderTarget* GetCurrentTarget() const { return m_CurrentTarget; }
    ImageData* GetCurrentTexture() const { return m_CurrentTexture; }
    Graphics* GetScreenGraphics() const { return m_ScreenGraphics.Get(); }

protected:
    bool m_Initialised = false;
    bool m_SeparateAlphaAvailable = true;
    bool m_VerticalSync = true;
    bool m_PowerOfTwo = false;
    bool m_Square = false;
    std::unique_ptr<iRenderTarget> m_ScreenTarget;
    SmartPtr<VertexBuffer> m_VertexBuffer;
    SmartPtr<IndexBuffer> m_IndexBuffer;
    std::int32_t m_MaxTextureWidth = 1024;
    std::int32_t m_MaxTextureHeight = 1024;
    std::int32_t m_ScreenWidth = 0;
    std::int32_t m_ScreenHeight = 0;
    std::int32_t m_VertexBudget = kDefaultVertexBudget;
    iRenderTarget* m_CurrentTarget = nullptr;
    ImageData* m_CurrentTexture = nullptr;
    SmartPtr<Graphics> m_ScreenGraphics;
};

}  // namespace Qmv2
