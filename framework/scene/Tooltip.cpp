#include "framework/scene/Tooltip.h"

#include "framework/core/app/GameWindow.h"
#include "framework/core/app/InputHandler.h"
#include "framework/core/app/TaskManager.h"
#include "framework/core/object/ObjectFactory.h"
#include "framework/core/properties/DataManager.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/scene/Dialog.h"
#include "framework/scene/GameTree.h"
#include "framework/scene/Label.h"

namespace Qmv2 {

Tooltip::Tooltip(PropertyNode* description)
{
    const PropertyNode* node = description != nullptr ? PropertyNode::AsNode(description) : nullptr;
    if (node == nullptr) {
        return;
    }
    if (node->HasChild("showdelay")) {
        m_ShowDelay = node->GetValue("showdelay")->GetInt();
    }
    if (node->HasChild("removedelay")) {
        m_RemoveDelay = node->GetValue("removedelay")->GetInt();
    }
    if (node->HasChild("renderer")) {
        PropertyNode* child = PropertyNode::AsNode(node->GetNode("renderer"));
        BaseObject* object = ObjectFactory::GetInstance()->Create(child->GetTypeWord(), child);
        if (object != nullptr && object->IsOfType(&Sprite::s_Type)) {
            SetRenderer(static_cast<Sprite*>(object));
        } else {
            SmartPtr<BaseObject> discard(object);
        }
    }
}

Tooltip::~Tooltip()
{
    if (m_Listening) {
        if (InputHandler* input = InputHandler::GetInstance()) {
            input->UnregisterListener(this);
        }
    }
    if (m_Renderer != nullptr) {
        m_Renderer->SetObsolete(true);
    }
}

Tooltip* Tooltip::CreateInstance(const std::string& name)
{
    DataManager* data = DataManager::GetInstance();
    PropertyNode* definitions = data != nullptr ? data->GetDialogs() : nullptr;
    PropertyNode* node = PropertyNode::AsNode(definitions != nullptr ? definitions->GetNode(name) : nullptr);
    BaseObject* object = ObjectFactory::GetInstance()->Create(node->GetTypeWord(), node);
    if (object == nullptr || !object->IsOfType(&Tooltip::s_Type)) {
        // Whatever the definition names, the game gets a working tooltip.
        SmartPtr<BaseObject> discard(object);
        object = new Tooltip(node);
    }
    auto* tooltip = static_cast<Tooltip*>(object);
    DestroyInstance();
    tooltip->AddRef();
    s_Instance = tooltip;
    if (TaskManager* tasks = TaskManager::GetInstance()) {
        tasks->AddTask(SmartPtr<iTask>(tooltip));
    }
    tooltip->SetRunning(true);
    return tooltip;
}

void Tooltip::DestroyInstance()
{
    Tooltip* tooltip = GetInstance();
    if (tooltip == nullptr) {
        return;
    }
    if (TaskManager* tasks = TaskManager::GetInstance()) {
        tooltip->SetRunning(false);
        tasks->RemoveTask(SmartPtr<iTask>(tooltip));
    }
    ReleaseInstance();
}

Interface* Tooltip::GetInterface(const ClassType* type)
{
    if (type == &iInputListener::s_Type) {
        return static_cast<iInputListener*>(this);
    }
    return iTask::GetInterface(type);
}

void Tooltip::SetRenderer(Sprite* renderer)
{
    if (renderer == m_Renderer.Get()) {
        return;
    }
    if (m_Renderer != nullptr) {
        m_Renderer->SetObsolete(true);
    }
    m_Renderer = renderer;
    AttachRenderer();
}

void Tooltip::SetRoot(GameNode* root)
{
    m_Root = root;
    AttachRenderer();
}

void Tooltip::AttachRenderer()
{
    if (m_Root != nullptr && m_Renderer != nullptr) {
        m_Renderer->SetVisible(false);
        m_Root->AddChild(m_Renderer.Get());
    }
}

void Tooltip::Start()
{
    if (m_Root == nullptr) {
        SetRoot(GameTree::GetInstance());
    }
    // Mouse moves reach the tooltip through the input handler's own list;
    // it never takes them, so the game tree's listeners see them all.
    if (InputHandler* input = InputHandler::GetInstance(); input != nullptr && !m_Listening) {
        input->RegisterListener(this);
        m_Listening = true;
    }
}

bool Tooltip::OnMouseMove(MouseMessageData* data)
{
    if (data != nullptr) {
        m_PointerX = data->x;
        m_PointerY = data->y;
    }
    return false;
}

void Tooltip::FindTooltipNode(GameNode* node)
{
    if (node->IsObsolete() || !node->IsVisible()) {
        return;
    }
    if (node->IsOfType(&Sprite::s_Type)) {
        auto* sprite = static_cast<Sprite*>(node);
        if (sprite->GetTooltip() != nullptr && sprite->HitTest(m_PointerX, m_PointerY)) {
            m_Found = node;
        } else if (node->IsOfType(&Dialog::s_Type)) {
            m_Found = nullptr;
        }
    }
    for (GameNode* child = node->GetFirstChild(); child != nullptr; child = child->GetNextSibling()) {
        FindTooltipNode(child);
    }
}

void Tooltip::Hide()
{
    m_Renderer->SetVisible(false);
    m_Hovered = nullptr;
}

void Tooltip::Place()
{
    if (m_Renderer->IsOfType(&Label::s_Type)) {
        static_cast<Label*>(m_Renderer.Get())->UpdateLayout();
    }
    float x = m_PointerX;
    float y = m_PointerY + 24.0f;
    const float w = m_Renderer->GetWidth() + 3.0f;
    const float h = m_Renderer->GetHeight() + 3.0f;
    GameWindow* window = GameWindow::GetInstance();
    const float screenWidth = window != nullptr ? static_cast<float>(window->GetWidth()) : 800.0f;
    const float screenHeight = window != nullptr ? static_cast<float>(window->GetHeight()) : 600.0f;
    bool flipped = false;
    if (y + h > screenHeight) {
        x = m_PointerX + 16.0f;
        y = m_PointerY;
        flipped = true;
        if (y + h > screenHeight) {
            y = screenHeight - h;
        }
    }
    if (x + w > screenWidth) {
        x = flipped ? m_PointerX - w - 2.0f : screenWidth - w;
    }
    m_Renderer->SetPosition(x, y);
}

void Tooltip::Execute(std::int32_t dt)
{
    if (m_Renderer == nullptr) {
        m_Hovered = nullptr;
        return;
    }
    if (m_Root == nullptr) {
        Hide();
        return;
    }
    m_Found = nullptr;
    FindTooltipNode(m_Root.Get());
    const UTF8String* text = m_Found != nullptr ? static_cast<Sprite*>(m_Found)->GetTooltip() : nullptr;
    if (text == nullptr) {
        Hide();
        return;
    }
    if (m_Found != m_Hovered) {
        m_ShowCountdown = m_ShowDelay;
        m_RemoveCountdown = m_RemoveDelay;
        m_Hovered = m_Found;
        m_Renderer->SetTooltip(*text);
        // Without a wait the box is placed at once, not where an earlier one was.
        if (m_ShowCountdown <= 0) {
            Place();
        }
    } else if (m_ShowCountdown > 0) {
        m_ShowCountdown -= dt;
        if (m_ShowCountdown <= 0) {
            Place();
        }
    }
    const bool visible = m_ShowCountdown <= 0 && m_RemoveCountdown > 0;
    m_Renderer->SetVisible(visible);
    if (visible) {
        m_RemoveCountdown -= dt;
    }
}

}  // namespace Qmv2
