// Answered by nodes that clip their subtree: the render walk pushes the clip
// polygon before the node draws and pops it after its children.
#pragma once

#include "framework/core/object/Interface.h"

namespace Qmv2 {

class PolygonF;

class iClippable : public Interface {
public:
    QMV_CLASS_TYPE(iClippable, Interface)

    // The clip polygon in the node's parent space, or null when the node
    // does not clip now.
    virtual PolygonF* GetClipPolygon() = 0;
};

}  // namespace Qmv2
