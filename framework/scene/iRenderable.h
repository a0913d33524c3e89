// Answered by nodes that draw themselves.
#pragma once

#include "framework/core/object/ClassRecords.h"

namespace Qmv2 {

class Graphics;

class iRenderable : public Interface {
    QMV_INDEXED_RECORD(iRenderable)

    const ClassType* GetType() const override { return &s_Type; }
    // Draws the node with the drawing object's current matrix, colour and clip.
    virtual void Render(Graphics& graphics) = 0;
};

}  // namespace Qmv2
