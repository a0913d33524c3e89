// A button that keeps a checked state: alone it toggles on every click; with
// a group id it is a radio button, one checked switch per group among all the
// switches that exist.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/scene/Button.h"

namespace Qmv2 {

class Switch : public Button {
    QMV_INDEXED_TYPE(Switch)

    // The button, then "groupid", "checked", "onsound" and "ofosnd".
    explicit Switch(PropertyNode* description);
    ~Switch() override;

    // The linked node's hit test counts as the switch's.
    bool HitTest(float x, float y) override;
    // The button's frame, moved to the checked half of the image when checked.
    void UpdateState() override;
    bool IsKindAccepted(std::int32_t kind) const override { return kind == 6 || kind >= 8; }
    // Checking a grouped switch unchecks the others of its group first.
    virtual void SetChecked(bool checked);
    bool OnLeftButtonUp(MouseMessageData* data) override;

    bool IsChecked() const { return HasState(kChecked); }
    std::int32_t GetGroupId() const { return m_GroupId; }
    void SetGroupId(std::int32_t group) { m_GroupId = group; }
    // A node (the text beside the switch) whose area also toggles it.
    void SetLinkedNode(GameNode* node) { m_Linked = node; }
    GameNode* GetLinkedNode() const { return m_Linked.Get(); }

    // Every switch that exists, oldest first.
    static const std::vector<Switch*>& GetAll() { return s_All; }

private:
    std::int32_t m_GroupId = -1;
    SmartPtr<GameNode> m_Linked;

    inline static std::vector<Switch*> s_All;
};

}  // namespace Qmv2
