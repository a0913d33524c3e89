// Turns the target from one angle to another (radians), or keeps it turning.
#pragma once

#include <cstdint>

#include "framework/scene/Modifier.h"
#include "framework/scene/SceneRecords.h"

namespace Qmv2 {

class ModifierRotation : public Modifier {
    QMV_INDEXED_TYPE(ModifierRotation)

    ModifierRotation(std::int32_t duration, float from, float to);

    void Start() override;
    // Not continuous: from -> to over the duration, the first update at the
    // start angle. Continuous: `to` turns per duration, never finishing.
    void Update(std::uint32_t dt) override;
    // Continuous runs return to their start angle, others end at `to`.
    void Finish() override;
    std::string ToString() const override;

    void SetSmooth(bool smooth) noexcept { m_Smooth = smooth; }
    void SetContinuous(bool continuous) noexcept { m_Continuous = continuous; }

private:
    float End() const;
    void Apply(float radians);

    float m_From;
    float m_To;
    std::int32_t m_Elapsed = 0;
    std::int32_t m_Duration;
    bool m_Smooth = false;
    bool m_Continuous = false;
};

}  // namespace Qmv2
