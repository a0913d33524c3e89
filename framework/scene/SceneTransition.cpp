#include "framework/scene/SceneTransition.h"

#include <string>

#include "framework/core/app/GameWindow.h"
#include "framework/core/files/ResourceManager.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/graphics/draw/Graphics.h"
#include "framework/graphics/image/Image.h"
#include "framework/scene/Label.h"
#include "framework/scene/ModifierAlpha.h"
#include "framework/scene/ModifierFunction.h"
#include "framework/scene/SceneManager.h"
#include "framework/scene/TaskRender.h"
#include "platform/win32/WinTime.h"

namespace Qmv2 {

namespace {

void RequestTargetOf(void* transition, void*)
{
    static_cast<SceneTransition*>(transition)->RequestTarget();
}

void TakeInputFrom(Scene* scene)
{
    if (scene != nullptr && scene->m_AcceptsInput) {
        scene->m_AcceptsInput = false;
        scene->m_ChildrenAcceptInput = false;
        scene->ResetInputState();
    }
}

std::int32_t WindowWidth()
{
    GameWindow* window = GameWindow::GetInstance();
    return window != nullptr ? window->GetWidth() : 800;
}

std::int32_t WindowHeight()
{
    GameWindow* window = GameWindow::GetInstance();
    return window != nullptr ? window->GetHeight() : 600;
}

}  // namespace

SceneTransition::SceneTransition(PropertyNode* description) : Scene(description) {}

void SceneTransition::Show()
{
    TakeInputFrom(m_From);
    Scene::Show();
    TakeInputFrom(this);
}

void SceneTransition::SetScenes(Scene* from, Scene* to)
{
    m_From = from;
    m_To = to;
}

void SceneTransition::SwitchScenes()
{
    if (m_From != nullptr) {
        m_From->Deactivate();
    }
    if (m_To != nullptr) {
        m_To->Show();
        // Suspended scenes are not drawn; the new scene must show behind the
        // effect before it is activated. Its input stays off until then.
        m_To->SetSuspended(false);
    }
}

void SceneTransition::RequestTarget()
{
    if (SceneManager* manager = SceneManager::GetInstance(); manager != nullptr && m_To != nullptr) {
        manager->RequestScene(m_To);
    }
}

SmartPtr<Image> SceneTransition::CaptureScene(Scene* scene)
{
    SmartPtr<Image> image(Image::CreateRenderTarget(WindowWidth(), WindowHeight(), false));
    if (image == nullptr || image->GetFirstFrame() == nullptr || scene == nullptr) {
        return nullptr;
    }
    SmartPtr<Graphics> graphics(image->CreateGraphics());
    if (graphics == nullptr || !graphics->Begin()) {
        return nullptr;
    }
    // A scene on its way out may be suspended; it is drawn as it stands.
    const bool suspended = scene->IsSuspended();
    scene->SetSuspended(false);
    scene->SetVisible(true);
    TaskRender::RenderNode(scene, *graphics);
    scene->SetVisible(false);
    scene->SetSuspended(suspended);
    graphics->End();
    return image;
}

bool SceneTransition::IsLoadingDone()
{
    ResourceManager* resources = ResourceManager::GetInstance();
    if (resources == nullptr) {
        return true;
    }
    resources->ResumeLoader();
    return resources->IsLoadQueueDone();
}

void SceneTransition::RequestWhenDone(Modifier* after, GameNode* target)
{
    auto* request = new ModifierFunction(this, &RequestTargetOf, "request target");
    request->SetTarget(target);
    Modifier::AttachTo(request, after);
}

SceneTransitionAlpha::SceneTransitionAlpha(PropertyNode* description) : SceneTransition(description)
{
    const PropertyNode* node = PropertyNode::AsNode(description);
    if (node->HasChild("time")) {
        m_Time = node->GetValue("time")->GetInt();
    }
    if (node->HasChild("wait")) {
        m_Wait = node->GetValue("wait")->GetBool();
    }
}

void SceneTransitionAlpha::Update(std::int32_t)
{
    if (m_Snapshot != nullptr) {
        return;
    }
    if (m_Wait && !IsLoadingDone()) {
        return;
    }
    SmartPtr<Image> picture = CaptureScene(m_From);
    m_Snapshot = new Sprite(0.0f, 0.0f, picture.Get());
    AddChild(m_Snapshot.Get());
    auto* fade = new ModifierAlpha(m_Time, 1.0f, 0.0f);
    fade->SetTarget(m_Snapshot.Get());
    Modifier::AttachTo(fade, GetAnimations());
    RequestWhenDone(fade, m_Snapshot.Get());
    SwitchScenes();
    if (m_To != nullptr) {
        m_To->SetVisible(true);
    }
}

SceneTransitionFadeBlack::SceneTransitionFadeBlack(PropertyNode* description) : SceneTransition(description)
{
    SetRGB(Color(0xFF000000u));
    const PropertyNode* node = PropertyNode::AsNode(description);
    if (node->HasChild("color")) {
        SetRGB(Color(static_cast<std::uint32_t>(node->GetValue("color")->GetInt()) | 0xFF000000u));
    }
    auto number = [node](const char* key, std::int32_t& field) {
        if (node->HasChild(key)) {
            field = node->GetValue(key)->GetInt();
        }
    };
    number("time", m_Time);
    number("showdelay", m_ShowDelay);
    number("showtime", m_ShowTime);
    if (node->HasChild("wait")) {
        m_Wait = node->GetValue("wait")->GetBool();
    }
    SetAlpha(0.0f);
    SetSize(static_cast<float>(WindowWidth()), static_cast<float>(WindowHeight()));
}

void SceneTransitionFadeBlack::OnCovered(void* transition, void*)
{
    static_cast<SceneTransitionFadeBlack*>(transition)->m_State = kCovered;
}

void SceneTransitionFadeBlack::Activate()
{
    Scene::Activate();
    auto* fade = new ModifierAlpha(m_Time, 0.0f, 1.0f);
    fade->SetTarget(this);
    Modifier::AttachTo(fade, GetAnimations());
    auto* covered = new ModifierFunction(this, &OnCovered, "covered");
    covered->SetTarget(this);
    Modifier::AttachTo(covered, fade);
    if (m_From != nullptr) {
        m_From->SetVisible(true);
    }
    GameNode* found = FindChild("LOADING_LABEL", true);
    if (found != nullptr && found->IsOfType(&Label::s_Type)) {
        m_Label = static_cast<Label*>(found);
        m_Label->SetAlpha(0.0f);
        m_LoadingText = m_Label->GetText().GetString();
        AddChild(m_Label);
    }
}

void SceneTransitionFadeBlack::Update(std::int32_t dt)
{
    if (m_State == kFadingIn) {
        if (m_From != nullptr) {
            m_From->SetVisible(true);
        }
        return;
    }
    if (m_State != kCovered) {
        return;
    }
    if (m_Label != nullptr) {
        if (m_ShowDelay < 0) {
            m_ShowTime -= dt;
            m_DotsTime = (m_DotsTime + dt) % 1200;
            m_Label->SetText(UTF8String(m_LoadingText + std::string(static_cast<std::size_t>(m_DotsTime / 300), '.')));
        } else {
            m_ShowDelay -= dt;
            if (m_ShowDelay < 0) {
                m_Label->AddModifier(new ModifierAlpha(300, 0.0f, 1.0f));
                m_Label->SetText(UTF8String(m_LoadingText));
            }
        }
    }
    if (m_Wait && !IsLoadingDone()) {
        Sleep(10);
        return;
    }
    if (m_Label == nullptr || m_ShowDelay > 0 || m_ShowTime < 1) {
        m_State = kFadingOut;
        FadeOut();
    }
}

void SceneTransitionFadeBlack::Render(Graphics& graphics)
{
    if (GetColor().a <= 0.0f) {
        return;
    }
    graphics.Reset();
    graphics.SetColor(GetColor());
    graphics.DrawRect(RectF{GetX(), GetY(), GetWidth(), GetHeight()});
}

void SceneTransitionFadeBlack::FadeOut()
{
    SwitchScenes();
    auto* fade = new ModifierAlpha(m_Time, 1.0f, 0.0f);
    fade->SetTarget(this);
    Modifier::AttachTo(fade, GetAnimations());
    RequestWhenDone(fade, this);
    if (m_From != nullptr) {
        m_From->SetVisible(false);
    }
    if (m_To != nullptr) {
        m_To->SetVisible(true);
    }
    if (m_Label != nullptr) {
        m_Label->AddModifier(new ModifierAlpha(m_Time, m_Label->GetColor().a, 0.0f));
    }
}

}  // namespace Qmv2
