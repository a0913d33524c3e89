#include "framework/graphics/render/Renderer.h"

#include <algorithm>

#include "framework/core/app/Application.h"
#include "framework/core/app/GameWindow.h"
#include "framework/core/util/Platform.h"
#include "framework/graphics/draw/Graphics.h"
#include "framework/graphics/render/RendererD3D.h"
#include "framework/graphics/render/iRenderTarget.h"

namespace Qmv2 {

std::int32_t Renderer::Create(std::int32_t width, std::int32_t height, bool hasVertices, std::int32_t vertices)
{
    auto* renderer = new RendererD3D;
    SetInstance(renderer);
    if (hasVertices) {
        renderer->SetVertexBudget(vertices);
    }
    const std::int32_t code = renderer->Init(width, height);
    if (code == kNone) {
        GameWindow* window = GameWindow::GetInstance();
        Application* application = Application::GetInstance();
        if (window != nullptr && application != nullptr) {
            window->ApplyFullscreen(application->GetFullscreenChoice());
        }
    } else {
        Platform::ShowMessage(GetStartupErrorMessage(code), "Graphics initialization failed");
    }
    return code;
}

std::string Renderer::GetStartupErrorMessage(std::int32_t code)
{
    return std::string(GetErrorText(code)) + " [" + std::to_string(code) + "].";
}

const char* Renderer::GetErrorText(std::int32_t code)
{
    switch (code) {
    case kNone:
        return "None.";
    case kLibraryNotFound:
        return "DirectX DLL not found.\nPlease make sure DirectX 9 or higher is installed.";
    case kNoCreateFunction:
        return "No DirectX create function.";
    case kReinitFailed:
        return "Re-initialization failed.";
    case kNoDirectObject:
        return "Failed to create a DirectX object.";
    case kNoCaps:
        return "Failed to read the device capabilities.\nPlease make DirectX is enabled on your computer.";
    case kTextureSizeTooSmall:
        return "This video card does not support the minimum texture size.";
    case kNoAdapterId:
        return "Could not read the adapter ID.";
    case kNoDevice:
        return "Failed to create a DirectX device.";
    case kDeviceNull:
        return "The DirectX device was NULL.";
    default:
        return "Unknown error.";
    }
}

Renderer::Renderer()
{
    if (GameWindow* window = GameWindow::GetInstance()) {
        window->GetMessageHandler().AddListener(this);
    }
}

Renderer::~Renderer() = default;

Interface* Renderer::GetInterface(const ClassType* type)
{
    if (type == &iMessageListener::s_Type) {
        return static_cast<iMessageListener*>(this);
    }
    return BaseObject::GetInterface(type);
}

void Renderer::SetRenderTarget(iRenderTarget* target)
{
    m_CurrentTarget = target;
    if (target == nullptr) {
        return;
    }
    if (target == m_ScreenTarget.get()) {
        ApplyScreenProjection();
    } else {
        SetProjection(static_cast<float>(target->GetTargetWidth()), static_cast<float>(target->GetTargetHeight()));
    }
}

void Renderer::OnMessage(const Message& message)
{
    if (message.GetId() == Message::kFullscreenChanged) {
        Restore();
    } else if (message.GetId() == Message::kMinimizedChanged) {
        GameWindow* window = GameWindow::GetInstance();
        if (window != nullptr && window->IsFullscreen()) {
            Restore();
        }
    }
}

void Renderer::ReleaseResources()
{
    m_IndexBuffer.Reset();
    m_VertexBuffer.Reset();
    m_ScreenGraphics.Reset();
    if (m_ScreenTarget != nullptr && m_CurrentTarget == m_ScreenTarget.get()) {
        m_CurrentTarget = nullptr;
    }
    m_ScreenTarget.reset();
}

void Renderer::AdjustTextureSize(std::int32_t& width, std::int32_t& height) const
{
    if (m_PowerOfTwo) {
        auto round = [](std::int32_t n) {
            std::int32_t p = 1;
            while (p < n && p < (1 << 30)) {
                p <<= 1;
            }
            return p;
        };
        width = round(width);
        height = round(height);
    }
    if (m_Square) {
        width = height = std::max(width, height);
    }
}

void Renderer::SetVertexBudget(std::int32_t vertices)
{
    m_VertexBudget = std::clamp(vertices, 3, kMaxVertexBudget);
}

}  // namespace Qmv2
