// Scales the target's drawing from one x and y factor to another.
#pragma once

#include "framework/scene/ModifierAxisPair.h"
#include "framework/scene/SceneRecords.h"

namespace Qmv2 {

class ModifierScale : public ModifierAxisPair {
    QMV_INDEXED_TYPE(ModifierScale)

    // The callers fill in the ends and the axes; both axes apply by default.
    explicit ModifierScale(std::int32_t duration, EaseFunction easing = nullptr)
        : ModifierAxisPair(duration, easing)
    {
    }

    void SetFrom(float x, float y) noexcept
    {
        m_FromX = x;
        m_FromY = y;
    }
    void SetTo(float x, float y) noexcept
    {
        m_ToX = x;
        m_ToY = y;
    }

protected:
    float ReadX(const GraphicsSettings& settings) const override;
    float ReadY(const GraphicsSettings& settings) const override;
    void WriteX(GraphicsSettings& settings, float value) override;
    void WriteY(GraphicsSettings& settings, float value) override;
};

}  // namespace Qmv2
