// The root of all running modifiers. Each frame the update task walks the
// tree once and the purge task later drops what finished or was cancelled.
#pragma once

#include <cstdint>

#include "framework/core/object/iInstance.h"
#include "framework/scene/SceneRecords.h"
#include "framework/scene/ModifierContainer.h"

namespace Qmv2 {

class AnimTree : public ModifierContainer, public iInstance<AnimTree> {
public:
    QMV_INDEXED_TYPE(AnimTree)

    AnimTree();

    // The root is never removed.
    bool IsFinished() const override { return false; }

    // Runs the tick walk from this root.
    void Update(std::uint32_t dt) override { UpdateTree(this, dt); }
    // Runs the purge walk from this root.
    virtual void Purge() { PurgeTree(this); }

    // The tick walk over `root`'s subtree, iterative and pre-order: every
    // modifier that is neither cancelled, suspended nor finished is started
    // once and updated; the children of a finished modifier run in the same
    // tick. A cancelled or suspended modifier's children are skipped.
    static void UpdateTree(Modifier* root, std::uint32_t dt);
    // The purge walk, post-order: drops cancelled modifiers and removes
    // finished ones (whose waiting children take their place), applying
    // their done options.
    static void PurgeTree(Modifier* modifier);
};

}  // namespace Qmv2
