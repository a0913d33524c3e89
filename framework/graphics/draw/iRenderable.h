// Answered by nodes that draw themselves: the render walk hands each such
// node the drawing object, already carrying its parent's transform and
// colour and its own clip.
#pragma once

#include "framework/core/object/Interface.h"

namespace Qmv2 {

class Graphics;

class iRenderable : public Interface {
public:
    QMV_CLASS_TYPE(iRenderable, Interface)

    virtual void Render(Graphics& graphics) = 0;
};

}  // namespace Qmv2
