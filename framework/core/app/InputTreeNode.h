// A node of the tree whose listeners the input handler gathers each frame.
// The tree itself (the game tree) belongs to the scene library above; the
// input handler sees it only through these links.
#pragma once

#include "framework/core/object/BaseObject.h"

namespace Qmv2 {

class InputTreeNode : public BaseObject {
public:
    virtual InputTreeNode* GetInputParent() const = 0;
    virtual InputTreeNode* GetInputFirstChild() const = 0;
    virtual InputTreeNode* GetInputNextSibling() const = 0;
    // An obsolete or invisible node takes no input, nor does its subtree.
    virtual bool IsClosedToInput() const = 0;
};

}  // namespace Qmv2
