// Moves the target in a straight line from where it stands at the start to an
// end point, absolute or relative to the start.
#pragma once

#include "framework/scene/ModifierLocation.h"
#include "framework/scene/SceneRecords.h"

namespace Qmv2 {

class ModifierLocationLine : public ModifierLocation {
    QMV_INDEXED_TYPE(ModifierLocationLine)

    // `relative`: the end is an offset from the start; `smooth`: eased in and out.
    ModifierLocationLine(std::int32_t duration, float endX, float endY, bool relative, bool smooth);

    // Takes the start from the target's position.
    void Start() override;
    void Update(std::uint32_t dt) override;
    void Finish() override;

private:
    float EndX() const;
    float EndY() const;

    float m_EndX;
    float m_EndY;
};

}  // namespace Qmv2
