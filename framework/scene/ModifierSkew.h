// Skews the target's drawing from one x and y skew to another.
#pragma once

#include "framework/scene/ModifierAxisPair.h"
#include "framework/scene/SceneRecords.h"

namespace Qmv2 {

class ModifierSkew : public ModifierAxisPair {
    QMV_INDEXED_TYPE(ModifierSkew)

    ModifierSkew(std::int32_t duration, bool smooth, float fromX, float fromY, float toX, float toY);

protected:
    float ReadX(const GraphicsSettings& settings) const override;
    float ReadY(const GraphicsSettings& settings) const override;
    void WriteX(GraphicsSettings& settings, float value) override;
    void WriteY(GraphicsSettings& settings, float value) override;
};

}  // namespace Qmv2
