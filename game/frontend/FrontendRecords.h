// The class index's type records of this folder's classes (the records of
// classes still to be written included), in the form of
// framework/core/object/ClassRecords.h. The folder's registration adds
// them to the index at start-up.
#pragma once

#include "game/words/WordsRecords.h"

namespace Qmv2::ClassIndex {

QMV_INDEX_RECORD(Quorvel2Main, BaseObject)
QMV_INDEX_RECORD(Quorvel2GameSettings, GameSettings)
QMV_INDEX_RECORD(Quorvel2ScoreEntry, HighScoreEntry)
QMV_INDEX_RECORD(Quorvel2Player, AbstractPlayer)
QMV_INDEX_RECORD(DialogQuorvel2, Dialog)
QMV_INDEX_RECORD(DialogCongrats, DialogQuorvel2)
QMV_INDEX_RECORD(DialogCredits, DialogQuorvel2)
QMV_INDEX_RECORD(DialogEndGame, DialogQuorvel2)
QMV_INDEX_RECORD(DialogHelp, DialogQuorvel2)
QMV_INDEX_RECORD(DialogHighScore, DialogQuorvel2)
QMV_INDEX_RECORD(DialogMenu, DialogQuorvel2)
QMV_INDEX_RECORD(DialogNameInput, DialogQuorvel2)
QMV_INDEX_RECORD(DialogNextRound, DialogQuorvel2)
QMV_INDEX_RECORD(DialogPassRound, DialogQuorvel2)
QMV_INDEX_RECORD(DialogPause, DialogQuorvel2)
QMV_INDEX_RECORD(DialogPlayerSelect, DialogQuorvel2)
QMV_INDEX_RECORD(DialogYesNo, DialogQuorvel2)
QMV_INDEX_RECORD(DialogSettings, DialogQuorvel2)
QMV_INDEX_RECORD(DialogTutorial, DialogQuorvel2)
QMV_INDEX_RECORD(SceneSplash, Scene)
QMV_INDEX_RECORD(LoadScene, Quorvel2Scene)
QMV_INDEX_RECORD(SelectionScene, Quorvel2Scene)
QMV_INDEX_RECORD(TrophyScene, Quorvel2Scene)

// Every record above, for the folder's registration.
inline constexpr const ClassType* kFrontendRecords[] = {
    &Quorvel2Main,
    &Quorvel2GameSettings,
    &Quorvel2ScoreEntry,
    &Quorvel2Player,
    &DialogQuorvel2,
    &DialogCongrats,
    &DialogCredits,
    &DialogEndGame,
    &DialogHelp,
    &DialogHighScore,
    &DialogMenu,
    &DialogNameInput,
    &DialogNextRound,
    &DialogPassRound,
    &DialogPause,
    &DialogPlayerSelect,
    &DialogYesNo,
    &DialogSettings,
    &DialogTutorial,
    &SceneSplash,
    &LoadScene,
    &SelectionScene,
    &TrophyScene,
};

}  // namespace Qmv2::ClassIndex
