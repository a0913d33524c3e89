// A sprite that owns a set of interface components built from its property
// node, draws an optional painted background sized to itself, can be dragged
// and centred, and routes its components' clicks to its command handler
// (OnButton). A dialog is an exclusive input listener: while it is in the
// tree nothing drawn below it receives input, and its components hear
// nothing until it is shown.
//
// Component callbacks: a widget invokes its iGuiMethod with itself as a
// BaseObject* argument; the dialog binds unbound widgets to
// DefaultComponentHandler with itself (as BaseObject*) as the target.
#pragma once

#include <cstdint>
#include <string>

#include "framework/core/app/iInputListener.h"
#include "framework/scene/SceneRecords.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/object/iGuiMethod.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/scene/AbstractPainter.h"
#include "framework/scene/Sprite.h"

struct luaL_Reg;

namespace Qmv2 {

class PropertyVector;

class Dialog : public Sprite, public iInputListener {
    QMV_INDEXED_TYPE(Dialog)

    // A press must move further than this (squared, in game units) before it
    // becomes a drag.
    static constexpr float kDragThresholdSquared = 18.0f;

    enum DragState : std::int32_t { kIdle = 0, kPressed = 1, kDragging = 2 };

    // Builds the sprite part, the components of "components" and reads
    // "movable", "autoenlarge", "autocenter", "painter" or "painterid",
    // "minwidth" and "minheight". A description of another kind counts as
    // an empty node.
    explicit Dialog(PropertyNode* description);
    ~Dialog() override;

    Interface* GetInterface(const ClassType* type) override;
    BaseObject* GetOwner() override { return this; }

    // Sets the background image named by "background" in section "section",
    // centres the dialog in the game window when autocenter is on, and lets
    // the components receive input.
    virtual void Show();
    // The components stop receiving input.
    virtual void Close();
    // Asks the current scene to close this dialog; nothing without one.
    void CloseInCurrentScene();
    // Renders the painter into the dialog's image when it is dirty, first
    // making an image of the dialog's size when the current one differs.
    virtual void UpdateBackground();
    // Makes `node` the last component; with `bind`, every still unbound
    // iGuiMethod of its subtree reports to this dialog's command handler.
    virtual void AddComponent(GameNode* node, bool bind);
    // Binds the named component (searched in the whole subtree) to `object`
    // and `function`; null (and nothing changed) when there is no such
    // component or it has no iGuiMethod.
    virtual GameNode* SetComponentMethod(const std::string& name, void* object, iGuiMethod::Callback function);
    // The same, keeping the bound object.
    virtual GameNode* SetComponentHandler(const std::string& name, iGuiMethod::Callback function);

    // Sizes go through the painter's adjustment when autoenlarge is on.
    void SetWidth(float width) override;
    void SetHeight(float height) override;
    void SetAutoEnlarge(bool autoEnlarge);
    void SetPainter(AbstractPainter* painter);
    void CreateComponents(PropertyVector* list);

    // A fill of the whole target drawn before the dialog (alpha 0: none).
    void SetBackdrop(float alpha, float red, float green, float blue);
    float GetBackdropAlpha() const { return m_BackdropAlpha; }

    void Render(Graphics& graphics) override;

    bool OnMouseMove(MouseMessageData* data) override;
    bool OnLeftButtonDown(MouseMessageData* data) override;
    bool OnLeftButtonUp(MouseMessageData* data) override;
    // Ends a press or drag; a drag cut short gives the components input back.
    void ResetInputState() override;

    // The handler bound to components: when `object` is a dialog, calls its
    // OnButton with the component's command text, or its name when that is
    // empty, and the component as parameter.
    static void DefaultComponentHandler(void* object, void* component);

    AbstractPainter* GetPainter() const noexcept { return m_Painter.Get(); }
    GameNode* GetComponents() const noexcept { return m_Components.Get(); }
    PropertyNode* GetDescription() const noexcept { return m_Description.Get(); }
    std::int32_t GetDragState() const noexcept { return m_DragState; }
    float GetRequestedWidth() const noexcept { return m_RequestedWidth; }
    float GetRequestedHeight() const noexcept { return m_RequestedHeight; }
    bool IsAutoEnlarge() const noexcept { return m_AutoEnlarge; }
    bool IsAutoCenter() const noexcept { return m_AutoCenter; }
    void SetAutoCenter(bool autoCenter) noexcept { m_AutoCenter = autoCenter; }
    bool IsMovable() const noexcept { return m_Movable; }
    void SetMovable(bool movable) noexcept { m_Movable = movable; }

    static const luaL_Reg s_ScriptMethods[];

private:
    void ReadProperties(const PropertyNode& node);
    // The painter described by "painter", else by the definition "painterid";
    // null when neither makes one.
    static AbstractPainter* CreatePainter(const PropertyNode& node);
    static void BindSubtree(GameNode* node, Dialog* dialog);

    PointF m_PressPoint;
    PointF m_LastPoint;
    std::int32_t m_DragState = kIdle;
    float m_BackdropAlpha = 0.0f;
    float m_BackdropRed = 0.0f;
    float m_BackdropGreen = 0.0f;
    float m_BackdropBlue = 0.0f;
    SmartPtr<AbstractPainter> m_Painter;
    float m_RequestedWidth = -1.0f;
    float m_RequestedHeight = -1.0f;
    bool m_AutoEnlarge = true;
    bool m_AutoCenter = false;
    bool m_Movable = false;
    SmartPtr<PropertyNode> m_Description;
    SmartPtr<GameNode> m_Components;
};

}  // namespace Qmv2
