// The time base of a move: holds a start and a current position and the
// setter that writes a position to the target. By itself it only lets its
// time pass; ModifierLocationLine moves the target.
#pragma once

#include "framework/scene/ModifierFraction.h"
#include "framework/scene/SceneRecords.h"

namespace Qmv2 {

class ModifierLocation : public ModifierFraction {
    QMV_INDEXED_TYPE(ModifierLocation)

    // Writes (x, y) to the target for the axes that apply.
    using Setter = void (*)(GameNode* target, float x, float y, bool applyX, bool applyY);

    ModifierLocation(std::int32_t duration, float x, float y);

    std::string ToString() const override;

    void SetApply(bool applyX, bool applyY) noexcept
    {
        m_ApplyX = applyX;
        m_ApplyY = applyY;
    }
    void SetSetter(Setter setter) noexcept { m_Setter = setter != nullptr ? setter : SetNodePosition; }
    float GetCurrentX() const noexcept { return m_CurrentX; }
    float GetCurrentY() const noexcept { return m_CurrentY; }

    // The default setter: the node's SetX and SetY.
    static void SetNodePosition(GameNode* target, float x, float y, bool applyX, bool applyY);

protected:
    ModifierLocation(std::int32_t duration, float x, float y, EaseFunction easing);

    // Writes the current position through the setter.
    void ApplyCurrent();

    float m_StartX;
    float m_StartY;
    float m_CurrentX;
    float m_CurrentY;

private:
    bool m_ApplyX = true;
    bool m_ApplyY = true;
    Setter m_Setter = SetNodePosition;
};

}  // namespace Qmv2
