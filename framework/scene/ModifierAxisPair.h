// The common part of the modifiers that move a pair of drawing values (x and
// y) of the target's graphics settings from one pair to another.
#pragma once

#include "framework/scene/ModifierFraction.h"

namespace Qmv2 {

class GraphicsSettings;

class ModifierAxisPair : public ModifierFraction {
public:
    void SetApply(bool applyX, bool applyY) noexcept
    {
        m_ApplyX = applyX;
        m_ApplyY = applyY;
    }

    // With the start-from-target option the target's current values are the start.
    void Start() override;
    void Update(std::uint32_t dt) override;
    void Finish() override;
    std::string ToString() const override;

protected:
    ModifierAxisPair(std::int32_t duration, EaseFunction easing) : ModifierFraction(duration, easing) {}

    virtual float ReadX(const GraphicsSettings& settings) const = 0;
    virtual float ReadY(const GraphicsSettings& settings) const = 0;
    virtual void WriteX(GraphicsSettings& settings, float value) = 0;
    virtual void WriteY(GraphicsSettings& settings, float value) = 0;

    float m_FromX = 0.0f;
    float m_FromY = 0.0f;
    float m_ToX = 0.0f;
    float m_ToY = 0.0f;

private:
    void Apply(float x, float y);
    float EndX() const;
    float EndY() const;

    bool m_ApplyX = true;
    bool m_ApplyY = true;
};

}  // namespace Qmv2
