#include "framework/scene/TaskRender.h"

#include <cmath>

#include "framework/graphics/draw/Graphics.h"
#include "framework/graphics/draw/iClippable.h"
#include "framework/graphics/draw/iRenderable.h"
#include "framework/graphics/render/Renderer.h"

namespace Qmv2 {

namespace {

// What a node pushed for its subtree, popped in reverse.
struct Pushed {
    bool clip = false;
    bool matrix = false;
    bool color = false;
};

bool PushTransform(GameNode* node, GraphicsSettings* settings, Graphics& graphics)
{
    if (settings != nullptr && settings->HasTransform()) {
        settings->UpdateMatrix();
        graphics.PushMatrix(settings->GetLocalMatrix());
        return true;
    }
    const float x = node->GetX();
    const float y = node->GetY();
    if (std::fabs(x) <= GraphicsSettings::kTolerance && std::fabs(y) <= GraphicsSettings::kTolerance) {
        return false;
    }
    Matrix3x3 move;
    move.m02 = x;
    move.m12 = y;
    graphics.PushMatrix(move);
    return true;
}

bool PushInheritedColor(GraphicsSettings* settings, Graphics& graphics)
{
    if (settings == nullptr) {
        return false;
    }
    const Color& color = settings->GetColor();
    const std::uint32_t flags =
        settings->GetColorInheritance() & (GraphicsSettings::kInheritAlpha | GraphicsSettings::kInheritRGB);
    switch (flags) {
    case 0:
        if (color.a != 1.0f || color.r != 1.0f || color.g != 1.0f || color.b != 1.0f) {
            graphics.PushColor(color);
            return true;
        }
        return false;
    case GraphicsSettings::kInheritAlpha:
        if (color.a != 1.0f) {
            graphics.PushAlpha(color.a);
            return true;
        }
        return false;
    case GraphicsSettings::kInheritRGB:
        if (color.r != 1.0f || color.g != 1.0f || color.b != 1.0f) {
            graphics.PushRGB(color.r, color.g, color.b);
            return true;
        }
        return false;
    default:
        return false;
    }
}

}  // namespace

void TaskRender::Execute(std::int32_t)
{
    Renderer* renderer = Renderer::GetInstance();
    if (renderer == nullptr) {
        return;
    }
    if (renderer->IsDeviceLost()) {
        // Whatever it answers, the frame goes on; the next frame tries again.
        renderer->Restore();
    }
    Graphics* screen = renderer->GetScreenGraphics();
    if (screen == nullptr) {
        return;
    }
    screen->Begin();
    if (m_Root) {
        RenderNode(m_Root.Get(), *screen);
    }
    if (screen->End()) {
        renderer->Present();
    }
}

void TaskRender::RenderNode(GameNode* node, Graphics& graphics)
{
    // A suspended node is frozen: neither ticked nor drawn.
    if (!node->IsVisible() || node->IsObsolete() || node->IsSuspended()) {
        return;
    }
    Pushed pushed;
    if (auto* clippable = InterfaceCast<iClippable>(node)) {
        if (PolygonF* clip = clippable->GetClipPolygon()) {
            graphics.PushClip(*clip);
            pushed.clip = true;
        }
    }
    if (auto* renderable = InterfaceCast<iRenderable>(node)) {
        renderable->Render(graphics);
    }
    auto* settings = InterfaceCast<GraphicsSettings>(node);
    pushed.matrix = PushTransform(node, settings, graphics);
    pushed.color = PushInheritedColor(settings, graphics);
    for (GameNode* child = node->GetFirstChild(); child != nullptr; child = child->GetNextSibling()) {
        RenderNode(child, graphics);
    }
    if (pushed.color) {
        graphics.PopColor();
    }
    if (pushed.matrix) {
        graphics.PopMatrix();
    }
    if (pushed.clip) {
        graphics.PopClip();
    }
}

}  // namespace Qmv2
