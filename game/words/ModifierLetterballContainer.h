// The group that holds every animation of one letter-ball move. Finishing it
// completes the whole move at once, callbacks included, so that a new move
// can start from where the old one would have ended.
#pragma once

#include <string>

#include "framework/scene/ModifierContainer.h"
#include "game/words/WordsRecords.h"

namespace Qmv2 {

class ModifierLetterballContainer : public ModifierContainer {
    QMV_INDEXED_TYPE(ModifierLetterballContainer)

    // Removed once empty; built finished, as every container.
    explicit ModifierLetterballContainer(const std::string& name);

    // Finishes every modifier below the container, in tree order (each one
    // before the modifiers that wait under it), then the container itself.
    void Finish() override;

    // Finishes `root` and everything that waits under it, in tree order; a
    // cancelled modifier is skipped with its subtree.
    static void FinishSubtree(Modifier* root);
};

}  // namespace Qmv2
