// A value control: a knob dragged along a straight track between a start and
// an end position, with optional step buttons, mapping the knob's place to a
// value between a minimum and a maximum. The bound method fires after every
// change the user makes.
#pragma once

#include <cstdint>

#include "framework/core/app/iInputListener.h"
#include "framework/core/object/ClassIndex.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/object/iGuiMethod.h"
#include "framework/core/util/Point.h"
#include "framework/scene/Sprite.h"

namespace Qmv2 {

class Button;

class Slider : public Sprite, public iInputListener, public iGuiMethod {
    QMV_INDEXED_TYPE(Slider)

    // Reads "enabled", "minvalue", "maxvalue", "vertical", "minx", "miny",
    // "maxx", "maxy", then makes the knob ("button") and the step buttons
    // ("incbutton", "decbutton"). Without a description the track runs along
    // the slider's own size.
    explicit Slider(PropertyNode* description);
    ~Slider() override;

    Interface* GetInterface(const ClassType* type) override;
    BaseObject* GetOwner() override { return this; }

    void SetEnabled(bool enabled);
    bool IsEnabled() const { return m_Enabled; }
    // A tenth of the range up or down, kept within it; fires the method.
    void Increment();
    void Decrement();
    // Sets the value (kept within the range) and places the knob; no firing.
    void SetValue(float value);
    float GetValue() const { return m_Value; }
    float GetMinimum() const { return m_Minimum; }
    float GetMaximum() const { return m_Maximum; }
    void SetRange(float minimum, float maximum);
    void SetTrack(const PointF& start, const PointF& end);
    // Places the knob holder where the value lies on the track.
    void UpdateKnob();
    // Moves the knob to the track point nearest the screen point (less the
    // grab offset) and takes the value there.
    void SetValueFromPoint(float x, float y);

    GameNode* GetKnobHolder() const { return m_KnobHolder.Get(); }
    Button* GetKnob() const { return m_Knob.Get(); }
    Button* GetIncrementButton() const { return m_Increment.Get(); }
    Button* GetDecrementButton() const { return m_Decrement.Get(); }

    bool OnMouseMove(MouseMessageData* data) override;
    bool OnLeftButtonDown(MouseMessageData* data) override;
    bool OnLeftButtonUp(MouseMessageData* data) override;

private:
    Button* MakeButton(PropertyNode& node, const char* key);
    void ArrangeStepButtons();
    void Changed() { Invoke(static_cast<BaseObject*>(this)); }
    static void OnIncrement(void* slider, void*);
    static void OnDecrement(void* slider, void*);

    bool m_Enabled = true;
    float m_Value = 0.0f;
    float m_Minimum = 0.0f;
    float m_Maximum = 1.0f;
    bool m_Vertical = false;
    PointF m_Start;
    PointF m_End;
    PointF m_Grab;
    SmartPtr<GameNode> m_KnobHolder;
    SmartPtr<Button> m_Knob;
    SmartPtr<Button> m_Increment;
    SmartPtr<Button> m_Decrement;
};

}  // namespace Qmv2
