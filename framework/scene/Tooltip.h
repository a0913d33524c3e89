// The tooltip task: each frame it finds the visible sprite with a tooltip
// text under the pointer, waits "showdelay" ms, shows the text beside the
// pointer in its renderer (a ToolTipLabel, the last child of the game tree,
// kept inside the window), and hides it after "removedelay" ms or when the
// pointer leaves the sprite. A visible dialog hides the tooltips of what is
// drawn before it.
#pragma once

#include <cstdint>
#include <string>

#include "framework/core/app/iInputListener.h"
#include "framework/core/app/iTask.h"
#include "framework/core/object/ClassIndex.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/object/iInstance.h"
#include "framework/scene/Sprite.h"

namespace Qmv2 {

class Tooltip : public iTask, public iInputListener, public iInstance<Tooltip> {
    QMV_INDEXED_TYPE(Tooltip)

    // Reads "showdelay", "removedelay" and makes the "renderer" child.
    explicit Tooltip(PropertyNode* description);
    ~Tooltip() override;

    // Makes the tooltip from the dialog definition `name`, stores it as the
    // singleton and runs it as a task.
    static Tooltip* CreateInstance(const std::string& name);
    // Stops the task and drops the singleton.
    static void DestroyInstance();

    Interface* GetInterface(const ClassType* type) override;
    BaseObject* GetOwner() override { return this; }

    // Takes the game tree's root and hangs the renderer under it; listens to
    // the input handler's mouse moves.
    void Start() override;
    void Execute(std::int32_t dt) override;
    // Only remembers where the pointer is; never takes the move.
    bool OnMouseMove(MouseMessageData* data) override;

    void SetRenderer(Sprite* renderer);
    // Uses `root` instead of the game tree's root.
    void SetRoot(GameNode* root);
    Sprite* GetRenderer() const { return m_Renderer.Get(); }
    GameNode* GetHovered() const { return m_Hovered; }
    std::int32_t GetShowDelay() const { return m_ShowDelay; }
    std::int32_t GetRemoveDelay() const { return m_RemoveDelay; }

private:
    void FindTooltipNode(GameNode* node);
    void Place();
    void Hide();
    void AttachRenderer();

    SmartPtr<GameNode> m_Root;
    SmartPtr<Sprite> m_Renderer;
    GameNode* m_Hovered = nullptr;
    GameNode* m_Found = nullptr;
    float m_PointerX = 0.0f;
    float m_PointerY = 0.0f;
    std::int32_t m_ShowCountdown = 0;
    std::int32_t m_ShowDelay = 1000;
    std::int32_t m_RemoveCountdown = 0;
    std::int32_t m_RemoveDelay = 10000;
    bool m_Listening = false;
};

}  // namespace Qmv2
