// The class index's type records of this folder's classes (the records of
// classes still to be written included), in the form of
// framework/core/object/ClassRecords.h. The folder's registration adds
// them to the index at start-up.
#pragma once

#include "framework/scene/SceneRecords.h"

namespace Qmv2::ClassIndex {

QMV_INDEX_RECORD(ModifierLetterballContainer, ModifierContainer)
QMV_INDEX_RECORD(Anagram, Sprite)
QMV_INDEX_RECORD(AnagramTable, Sprite)
QMV_INDEX_RECORD(CrosswordTable, Sprite)
QMV_INDEX_RECORD(LetterBall, Sprite)
QMV_INDEX_RECORD(LetterBox, Sprite)
QMV_INDEX_RECORD(Quorvel2Scene, Scene)
QMV_INDEX_RECORD(GameScene, Quorvel2Scene)
QMV_INDEX_RECORD(BlitzScene, GameScene)
QMV_INDEX_RECORD(CrisscrossScene, GameScene)

// Every record above, for the folder's registration.
inline constexpr const ClassType* kWordsRecords[] = {
    &ModifierLetterballContainer,
    &Anagram,
    &AnagramTable,
    &CrosswordTable,
    &LetterBall,
    &LetterBox,
    &Quorvel2Scene,
    &GameScene,
    &BlitzScene,
    &CrisscrossScene,
};

}  // namespace Qmv2::ClassIndex
