// Moves the clip rectangle of a sprite target from one rectangle to another.
#pragma once

#include "framework/core/util/Rect.h"
#include "framework/scene/ModifierFraction.h"
#include "framework/scene/SceneRecords.h"

namespace Qmv2 {

class Sprite;

class ModifierClipRect : public ModifierFraction {
    QMV_INDEXED_TYPE(ModifierClipRect)

    ModifierClipRect(std::int32_t duration, const RectF& from, const RectF& to);

    void Update(std::uint32_t dt) override;
    void Finish() override;
    std::string ToString() const override;

private:
    void Apply(const RectF& rect);

    RectF m_From;
    RectF m_To;
};

}  // namespace Qmv2
