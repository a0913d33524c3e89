#include "framework/scene/Dialog.h"

#include <cmath>

#include <lua.hpp>

#include "framework/core/app/GameWindow.h"
#include "framework/core/files/ResourceManager.h"
#include "framework/core/object/ObjectFactory.h"
#include "framework/core/properties/DataManager.h"
#include "framework/core/properties/PropertyVector.h"
#include "framework/core/script/Lua.h"
#include "framework/graphics/draw/Graphics.h"
#include "framework/graphics/image/Image.h"
#include "framework/graphics/render/iRenderTarget.h"
#include "framework/scene/SceneManager.h"

namespace Qmv2 {

namespace {

int ScriptAddComponent(lua_State* state)
{
    auto* dialog = static_cast<Dialog*>(Lua::CheckObject(state, 1, &Dialog::s_Type, "not a Dialog"));
    auto* node = static_cast<GameNode*>(Lua::CheckObject(state, 2, &GameNode::s_Type, "not a GameNode"));
    dialog->AddComponent(node, true);
    return 0;
}

// The drawable texture behind an image's first frame, or null.
iRenderTarget* RenderTargetOf(Image* image)
{
    ImageFrame* frame = image != nullptr ? image->GetFirstFrame() : nullptr;
    ImageData* data = frame != nullptr ? frame->GetImageData() : nullptr;
    return data != nullptr ? static_cast<iRenderTarget*>(data->GetInterface(&iRenderTarget::s_Type)) : nullptr;
}

// An object made from a description, kept only when it is a painter.
AbstractPainter* AsPainter(BaseObject* object)
{
    if (object != nullptr && !object->IsOfType(&AbstractPainter::s_Type)) {
        SmartPtr<BaseObject> discard(object);
        return nullptr;
    }
    return static_cast<AbstractPainter*>(object);
}

}  // namespace

const luaL_Reg Dialog::s_ScriptMethods[] = {
    {"addComponent", ScriptAddComponent},
    {nullptr, nullptr},
};

Dialog::Dialog(PropertyNode* description) : Sprite(description)
{
    m_Components = new GameNode();
    AddChild(m_Components.Get());
    // Modal, with deaf components until Show.
    m_Exclusive = true;
    m_ChildrenAcceptInput = false;

    m_Description = PropertyNode::AsNode(description);
    const PropertyNode& node = *m_Description;
    if (node.HasChild("components")) {
        CreateComponents(node.GetVector("components"));
    }
    ReadProperties(node);
    SetScriptClass("Dialog.lua", "qmv.Dialog", "qmv.Sprite", "Dialog", s_ScriptMethods);
}

Dialog::~Dialog() = default;

Interface* Dialog::GetInterface(const ClassType* type)
{
    if (type == &iInputListener::s_Type) {
        return static_cast<iInputListener*>(this);
    }
    return Sprite::GetInterface(type);
}

void Dialog::ReadProperties(const PropertyNode& node)
{
    if (node.HasChild("movable")) {
        m_Movable = node.GetValue("movable")->GetBool();
    }
    if (node.HasChild("autoenlarge")) {
        SetAutoEnlarge(node.GetValue("autoenlarge")->GetBool());
    }
    if (node.HasChild("autocenter")) {
        m_AutoCenter = node.GetValue("autocenter")->GetBool();
    }
    if (node.HasChild("painter") || node.HasChild("painterid")) {
        SetPainter(nullptr);
        SetPainter(CreatePainter(node));
    }
    if (m_Painter == nullptr) {
        m_RequestedWidth = GetWidth();
        m_RequestedHeight = GetHeight();
    } else if (m_AutoEnlarge) {
        SetWidth(node.GetValue("minwidth")->GetFloat());
        SetHeight(node.GetValue("minheight")->GetFloat());
    }
}

AbstractPainter* Dialog::CreatePainter(const PropertyNode& node)
{
    if (node.HasChild("painter")) {
        PropertyNode* description = node.GetNode("painter");
        return AsPainter(ObjectFactory::GetInstance()->Create(description->GetTypeWord(), description));
    }
    DataManager* data = DataManager::GetInstance();
    return data != nullptr ? AsPainter(data->CreateObject(node.GetString("painterid"))) : nullptr;
}

void Dialog::SetPainter(AbstractPainter* painter)
{
    if (painter == m_Painter.Get()) {
        return;
    }
    m_Painter = painter;
    if (painter != nullptr) {
        painter->SetDirty(true);
    }
}

void Dialog::SetWidth(float width)
{
    m_RequestedWidth = width;
    if (m_AutoEnlarge && m_Painter != nullptr) {
        width = m_Painter->AdjustWidth(width);
    }
    Sprite::SetWidth(width);
}

void Dialog::SetHeight(float height)
{
    m_RequestedHeight = height;
    if (m_AutoEnlarge && m_Painter != nullptr) {
        height = m_Painter->AdjustHeight(height);
    }
    Sprite::SetHeight(height);
}

void Dialog::SetAutoEnlarge(bool autoEnlarge)
{
    if (autoEnlarge == m_AutoEnlarge) {
        return;
    }
    m_AutoEnlarge = autoEnlarge;
    // The requested size is re-applied, so turning the adjustment off gives
    // back the size that was asked for.
    SetWidth(m_RequestedWidth >= 0.0f ? m_RequestedWidth : GetWidth());
    SetHeight(m_RequestedHeight >= 0.0f ? m_RequestedHeight : GetHeight());
}

void Dialog::SetBackdrop(float alpha, float red, float green, float blue)
{
    m_BackdropAlpha = alpha;
    m_BackdropRed = red;
    m_BackdropGreen = green;
    m_BackdropBlue = blue;
}

void Dialog::CreateComponents(PropertyVector* list)
{
    if (list == nullptr) {
        return;
    }
    ObjectFactory* factory = ObjectFactory::GetInstance();
    for (const SmartPtr<AbstractProperty>& entry : list->GetItems()) {
        PropertyNode* description = PropertyNode::AsNode(entry.Get());
        BaseObject* object = factory->Create(description->GetTypeWord(), description);
        if (object == nullptr) {
            continue;
        }
        // Only nodes can be components; anything else the data names is dropped.
        if (!object->IsOfType(&GameNode::s_Type)) {
            SmartPtr<BaseObject> discard(object);
            continue;
        }
        AddComponent(static_cast<GameNode*>(object), true);
    }
}

void Dialog::AddComponent(GameNode* node, bool bind)
{
    if (node == nullptr) {
        return;
    }
    m_Components->AddChild(node);
    if (bind && node->GetParent() == m_Components.Get()) {
        BindSubtree(node, this);
    }
}

void Dialog::BindSubtree(GameNode* node, Dialog* dialog)
{
    if (iGuiMethod* method = InterfaceCast<iGuiMethod>(node); method != nullptr && !method->IsBound()) {
        method->SetMethod(static_cast<BaseObject*>(dialog), &Dialog::DefaultComponentHandler);
    }
    for (GameNode* child = node->GetFirstChild(); child != nullptr; child = child->GetNextSibling()) {
        BindSubtree(child, dialog);
    }
}

GameNode* Dialog::SetComponentMethod(const std::string& name, void* object, iGuiMethod::Callback function)
{
    GameNode* component = FindChild(name, true);
    iGuiMethod* method = InterfaceCast<iGuiMethod>(component);
    if (method == nullptr) {
        return nullptr;
    }
    method->SetMethod(object, function);
    return component;
}

GameNode* Dialog::SetComponentHandler(const std::string& name, iGuiMethod::Callback function)
{
    GameNode* component = FindChild(name, true);
    iGuiMethod* method = InterfaceCast<iGuiMethod>(component);
    if (method == nullptr) {
        return nullptr;
    }
    method->SetMethod(method->GetTarget(), function);
    return component;
}

void Dialog::DefaultComponentHandler(void* object, void* component)
{
    auto* target = static_cast<BaseObject*>(object);
    auto* sender = static_cast<BaseObject*>(component);
    if (target == nullptr || !target->IsOfType(&Dialog::s_Type) || sender == nullptr ||
        !sender->IsOfType(&GameNode::s_Type)) {
        return;
    }
    auto* node = static_cast<GameNode*>(sender);
    std::string command;
    if (sender->IsOfType(&Sprite::s_Type)) {
        command = static_cast<Sprite*>(node)->GetCommand();
    }
    if (command.empty()) {
        command = node->GetName();
    }
    // The handler may close the dialog; keep both alive through the call.
    SmartPtr<BaseObject> holdTarget(target);
    SmartPtr<BaseObject> holdSender(sender);
    static_cast<Dialog*>(target)->OnButton(UTF8String(command), sender);
}

void Dialog::Show()
{
    const PropertyNode& node = *m_Description;
    if (node.HasChild("background") && node.HasChild("section")) {
        if (ResourceManager* resources = ResourceManager::GetInstance()) {
            if (Image* image = resources->GetImage(node.GetString("background"), node.GetString("section"))) {
                SetImage(image);
            }
        }
    }
    if (m_AutoCenter) {
        if (GameWindow* window = GameWindow::GetInstance()) {
            const float x = std::floor((static_cast<float>(window->GetWidth()) - GetWidth()) * 0.5f);
            const float y = std::floor((static_cast<float>(window->GetHeight()) - GetHeight()) * 0.5f);
            SetPosition(x, y);
        }
    }
    m_ChildrenAcceptInput = true;
}

void Dialog::Close()
{
    m_ChildrenAcceptInput = false;
}

void Dialog::CloseInCurrentScene()
{
    SceneManager* manager = SceneManager::GetInstance();
    if (Scene* scene = manager != nullptr ? manager->GetCurrentScene() : nullptr) {
        scene->CloseDialog(this);
    }
}

void Dialog::UpdateBackground()
{
    if (m_Painter == nullptr) {
        return;
    }
    const auto width = static_cast<std::int32_t>(GetWidth());
    const auto height = static_cast<std::int32_t>(GetHeight());
    ImageFrame* frame = GetImageSet() != nullptr ? GetImageSet()->GetFirstFrame() : nullptr;
    const bool fits = frame != nullptr && frame->GetPixelRect().width == width && frame->GetPixelRect().height == height;
    if (!fits) {
        if (width <= 0 || height <= 0) {
            return;
        }
        // A target the renderer could not make has no frame; taking it would
        // size the dialog to nothing and leave it unclickable for good.
        SmartPtr<Image> target(Image::CreateRenderTarget(width, height, true));
        if (target == nullptr || target->GetFirstFrame() == nullptr) {
            return;
        }
        SetImage(target.Get());
        m_Painter->SetDirty(true);
    }
    // Without a drawable texture a drawing object would paint the screen.
    if (!m_Painter->IsDirty() || RenderTargetOf(GetImageSet()) == nullptr) {
        return;
    }
    SmartPtr<Graphics> graphics(GetImageSet()->CreateGraphics());
    graphics->Begin();
    m_Painter->Paint(*graphics, RectF{});
    if (graphics->End()) {
        m_Painter->SetDirty(false);
    }
}

void Dialog::Render(Graphics& graphics)
{
    UpdateBackground();
    if (m_BackdropAlpha > 0.0f) {
        graphics.Reset();
        graphics.SetColor(Color(GetColor().a * m_BackdropAlpha, m_BackdropRed, m_BackdropGreen, m_BackdropBlue));
        // The backdrop covers the whole view, also under a dialog that hangs
        // from another one: the view is drawn in the parent's space.
        RectF view = graphics.GetViewRect();
        if (const GameNode* parent = GetParent()) {
            const Matrix3x3 toParent = parent->GetInverseGlobalMatrix(nullptr, true);
            const PointF from = toParent.Map(PointF(view.x, view.y));
            const PointF to = toParent.Map(PointF(view.x + view.width, view.y + view.height));
            view = RectF{from.x, from.y, to.x - from.x, to.y - from.y};
        }
        graphics.DrawRect(view);
    }
    Sprite::Render(graphics);
}

void Dialog::ResetInputState()
{
    // A drag cut short must not leave the components deaf.
    if (m_DragState == kDragging) {
        m_ChildrenAcceptInput = true;
    }
    m_DragState = kIdle;
}

bool Dialog::OnLeftButtonDown(MouseMessageData* data)
{
    if (data == nullptr || !HitTest(data->x, data->y)) {
        return false;
    }
    if (m_Movable) {
        m_DragState = kPressed;
        m_PressPoint = PointF(data->x, data->y);
        m_LastPoint = m_PressPoint;
    }
    return true;
}

bool Dialog::OnMouseMove(MouseMessageData* data)
{
    if (data == nullptr) {
        return false;
    }
    if (m_DragState == kPressed) {
        const float dx = data->x - m_PressPoint.x;
        const float dy = data->y - m_PressPoint.y;
        if (dx * dx + dy * dy > kDragThresholdSquared) {
            m_DragState = kDragging;
            m_ChildrenAcceptInput = false;
        }
    }
    if (m_DragState == kDragging) {
        SetPosition(GetX() + (data->x - m_LastPoint.x), GetY() + (data->y - m_LastPoint.y));
        m_LastPoint = PointF(data->x, data->y);
    }
    return false;
}

bool Dialog::OnLeftButtonUp(MouseMessageData* data)
{
    if (m_DragState == kPressed) {
        m_DragState = kIdle;
        return data != nullptr && HitTest(data->x, data->y);
    }
    if (m_DragState == kDragging) {
        m_ChildrenAcceptInput = true;
        m_DragState = kIdle;
        return true;
    }
    return false;
}

}  // namespace Qmv2
