#include "framework/scene/Slider.h"

#include <cmath>

#include "framework/core/object/ObjectFactory.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/core/util/Geometry.h"
#include "framework/scene/Button.h"

namespace Qmv2 {

namespace {

constexpr std::int32_t kAnchorTop = 1;
constexpr std::int32_t kAnchorLeft = 3;
constexpr std::int32_t kAnchorRight = 5;
constexpr std::int32_t kAnchorBottom = 7;

float Distance(const PointF& a, const PointF& b)
{
    return std::hypot(b.x - a.x, b.y - a.y);
}

}  // namespace

Slider::Slider(PropertyNode* description) : Sprite(description)
{
    m_KnobHolder = new GameNode("knobholder");
    AddChild(m_KnobHolder.Get());
    PropertyNode* node = description != nullptr ? PropertyNode::AsNode(description) : nullptr;
    if (node != nullptr) {
        if (node->HasChild("enabled")) {
            SetEnabled(node->GetValue("enabled")->GetBool());
        }
        if (node->HasChild("minvalue")) {
            m_Minimum = node->GetValue("minvalue")->GetFloat();
        }
        if (node->HasChild("maxvalue")) {
            m_Maximum = node->GetValue("maxvalue")->GetFloat();
        }
        if (node->HasChild("vertical")) {
            m_Vertical = node->GetValue("vertical")->GetBool();
        }
        if (node->HasChild("minx")) {
            m_Start.x = node->GetValue("minx")->GetFloat();
        }
        if (node->HasChild("miny")) {
            m_Start.y = node->GetValue("miny")->GetFloat();
        }
        if (node->HasChild("maxx")) {
            m_End.x = node->GetValue("maxx")->GetFloat();
        }
        if (node->HasChild("maxy")) {
            m_End.y = node->GetValue("maxy")->GetFloat();
        }
        m_Knob = MakeButton(*node, "button");
        m_Increment = MakeButton(*node, "incbutton");
        m_Decrement = MakeButton(*node, "decbutton");
    }
    if (m_Knob != nullptr) {
        m_KnobHolder->AddChild(m_Knob.Get());
        // The slider drives the knob's over and pressed states itself.
        m_Knob->m_AcceptsInput = false;
        m_Knob->ResetInputState();
    }
    if (m_Increment != nullptr) {
        AddChild(m_Increment.Get());
        m_Increment->SetMethod(this, &Slider::OnIncrement);
    }
    if (m_Decrement != nullptr) {
        AddChild(m_Decrement.Get());
        m_Decrement->SetMethod(this, &Slider::OnDecrement);
    }
    if (node == nullptr) {
        const float knobWidth = m_Knob != nullptr ? m_Knob->GetWidth() : 0.0f;
        const float knobHeight = m_Knob != nullptr ? m_Knob->GetHeight() : 0.0f;
        m_End = m_Vertical ? PointF(0.0f, GetHeight() - knobHeight) : PointF(GetWidth() - knobWidth, 0.0f);
    }
    ArrangeStepButtons();
    UpdateKnob();
}

Slider::~Slider() = default;

Interface* Slider::GetInterface(const ClassType* type)
{
    if (type == &iInputListener::s_Type) {
        return static_cast<iInputListener*>(this);
    }
    if (type == &iGuiMethod::s_Type) {
        return static_cast<iGuiMethod*>(this);
    }
    return Sprite::GetInterface(type);
}

Button* Slider::MakeButton(PropertyNode& node, const char* key)
{
    if (!node.HasChild(key)) {
        return nullptr;
    }
    PropertyNode* description = PropertyNode::AsNode(node.GetNode(key));
    BaseObject* object = ObjectFactory::GetInstance()->Create(description->GetTypeWord(), description);
    if (object != nullptr && !object->IsOfType(&Button::s_Type)) {
        SmartPtr<BaseObject> discard(object);
        return nullptr;
    }
    return static_cast<Button*>(object);
}

void Slider::ArrangeStepButtons()
{
    const float w = GetWidth();
    const float h = GetHeight();
    if (m_Decrement != nullptr) {
        m_Decrement->SetAnchor(m_Vertical ? kAnchorBottom : kAnchorRight);
        m_Decrement->SetPosition(m_Vertical ? w * 0.5f : 0.0f, m_Vertical ? 0.0f : h * 0.5f);
    }
    if (m_Increment != nullptr) {
        m_Increment->SetAnchor(m_Vertical ? kAnchorTop : kAnchorLeft);
        m_Increment->SetPosition(m_Vertical ? w * 0.5f : w, m_Vertical ? h : h * 0.5f);
    }
}

void Slider::SetEnabled(bool enabled)
{
    if (enabled == m_Enabled) {
        return;
    }
    m_Enabled = enabled;
    for (Button* button : {m_Knob.Get(), m_Increment.Get(), m_Decrement.Get()}) {
        if (button != nullptr) {
            button->SetEnabled(enabled);
        }
    }
}

void Slider::SetRange(float minimum, float maximum)
{
    m_Minimum = minimum;
    m_Maximum = maximum;
    UpdateKnob();
}

void Slider::SetTrack(const PointF& start, const PointF& end)
{
    m_Start = start;
    m_End = end;
    UpdateKnob();
}

void Slider::SetValue(float value)
{
    const float low = std::fmin(m_Minimum, m_Maximum);
    const float high = std::fmax(m_Minimum, m_Maximum);
    m_Value = std::fmin(std::fmax(value, low), high);
    UpdateKnob();
}

void Slider::UpdateKnob()
{
    const float range = m_Maximum - m_Minimum;
    // An empty range puts the knob at the start instead of nowhere.
    const float f = range != 0.0f ? std::fabs((m_Value - m_Minimum) / range) : 0.0f;
    m_KnobHolder->SetPosition(m_Start.x + (m_End.x - m_Start.x) * f, m_Start.y + (m_End.y - m_Start.y) * f);
}

void Slider::SetValueFromPoint(float x, float y)
{
    PointF q;
    ClosestPointOnSegment(m_Start, m_End, PointF(x - m_Grab.x, y - m_Grab.y), &q);
    m_KnobHolder->SetPosition(q.x, q.y);
    const float length = Distance(m_Start, m_End);
    m_Value = length > 0.0f ? m_Minimum + (m_Maximum - m_Minimum) * Distance(m_Start, q) / length : m_Minimum;
}

void Slider::Increment()
{
    const float v = m_Value + (m_Maximum - m_Minimum) / 10.0f;
    m_Value = v <= m_Maximum ? v : m_Maximum;
    UpdateKnob();
    Changed();
}

void Slider::Decrement()
{
    const float v = m_Value - (m_Maximum - m_Minimum) / 10.0f;
    m_Value = v >= m_Minimum ? v : m_Minimum;
    UpdateKnob();
    Changed();
}

void Slider::OnIncrement(void* slider, void*)
{
    static_cast<Slider*>(slider)->Increment();
}

void Slider::OnDecrement(void* slider, void*)
{
    static_cast<Slider*>(slider)->Decrement();
}

bool Slider::OnLeftButtonDown(MouseMessageData* data)
{
    if (data == nullptr || m_Knob == nullptr || !m_Enabled) {
        return false;
    }
    const bool knobHit = m_Knob->HitTest(data->x, data->y);
    if (!knobHit && !HitTest(data->x, data->y)) {
        return false;
    }
    m_Grab = PointF(GetGlobalX(), GetGlobalY());
    if (knobHit) {
        // The knob keeps its grip instead of jumping to the pointer.
        m_Grab.x += data->x - m_KnobHolder->GetGlobalX();
        m_Grab.y += data->y - m_KnobHolder->GetGlobalY();
    }
    SetValueFromPoint(data->x, data->y);
    m_Knob->SetStateFlag(Button::kPressed, true);
    m_Knob->SetStateFlag(Button::kOver, true);
    Changed();
    return true;
}

bool Slider::OnMouseMove(MouseMessageData* data)
{
    if (data == nullptr || m_Knob == nullptr || !m_Enabled) {
        return false;
    }
    if (m_Knob->HasState(Button::kPressed)) {
        SetValueFromPoint(data->x, data->y);
        Changed();
    } else {
        m_Knob->SetStateFlag(Button::kOver, m_Knob->HitTest(data->x, data->y));
    }
    return false;
}

bool Slider::OnLeftButtonUp(MouseMessageData* data)
{
    if (data == nullptr || m_Knob == nullptr) {
        return false;
    }
    m_Knob->SetStateFlag(Button::kOver, m_Knob->HitTest(data->x, data->y));
    m_Knob->SetStateFlag(Button::kPressed, false);
    return false;
}

}  // namespace Qmv2
