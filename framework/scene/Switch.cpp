#include "framework/scene/Switch.h"

#include <algorithm>

#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/graphics/image/Image.h"

namespace Qmv2 {

Switch::Switch(PropertyNode* description) : Button(description)
{
    s_All.push_back(this);
    PropertyNode* node = description != nullptr ? PropertyNode::AsNode(description) : nullptr;
    if (node == nullptr) {
        return;
    }
    if (node->HasChild("groupid")) {
        m_GroupId = node->GetValue("groupid")->GetInt();
    }
    if (node->HasChild("checked")) {
        SetChecked(node->GetValue("checked")->GetBool());
    }
    if (node->HasChild("onsound")) {
        SetSound("on", node->GetString("onsound"));
    }
    if (node->HasChild("ofosnd")) {
        SetSound("off", node->GetString("ofosnd"));
    }
}

Switch::~Switch()
{
    s_All.erase(std::remove(s_All.begin(), s_All.end(), this), s_All.end());
}

bool Switch::HitTest(float x, float y)
{
    if (m_Linked != nullptr && m_Linked->HitTest(x, y)) {
        return true;
    }
    return Button::HitTest(x, y);
}

void Switch::UpdateState()
{
    Button::UpdateState();
    if (IsChecked()) {
        const std::int32_t frames = GetImageSet() != nullptr ? std::max(GetImageSet()->GetFrameCount(), 1) : 1;
        // A frame past the image's last would show nothing at all.
        SetFrame(std::min(StateFrame() + (frames == 6 ? 3 : 4), frames - 1));
    }
}

void Switch::SetChecked(bool checked)
{
    if (IsChecked() == checked) {
        return;
    }
    if (checked && m_GroupId != -1) {
        // A copy: unchecking may run code that makes or drops switches.
        const std::vector<Switch*> all = s_All;
        for (Switch* other : all) {
            if (other != this && other->m_GroupId == m_GroupId &&
                std::find(s_All.begin(), s_All.end(), other) != s_All.end()) {
                other->SetChecked(false);
            }
        }
    }
    SetStateFlag(kChecked, checked);
}

bool Switch::OnLeftButtonUp(MouseMessageData* data)
{
    const bool hit = data != nullptr && HitTest(data->x, data->y);
    if (!hit) {
        SetStateFlag(kOver, false);
        SetStateFlag(kPressed, false);
        return false;
    }
    if (!IsEnabled() || !HasState(kPressed)) {
        if (!IsEnabled()) {
            PlayStateSound("disabled");
        }
        SetStateFlag(kOver, true);
        SetStateFlag(kPressed, false);
        return false;
    }
    SmartPtr<BaseObject> hold(static_cast<BaseObject*>(this));
    if (m_GroupId == -1 || !IsChecked()) {
        SetChecked(!IsChecked());
        Fire();
        if (IsChecked()) {
            PlayStateSound("on");
        } else if (m_GroupId == -1) {
            PlayStateSound("off");
        }
    }
    SetStateFlag(kOver, false);
    SetStateFlag(kPressed, false);
    return true;
}

}  // namespace Qmv2
