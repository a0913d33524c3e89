// What the front end's dialogs ask of the playing scene that holds them. The
// game scenes implement it; a dialog finds it on its owning scene and does
// nothing when that scene is no playing scene.
#pragma once

namespace Qmv2 {
class BaseObject;
class Dialog;
}  // namespace Qmv2

class iDialogOwnerScene {
public:
    virtual ~iDialogOwnerScene() = default;

    // Continue: closes the next-round dialog and deals the next round.
    virtual void OnNextRoundConfirmed() = 0;
    // Saves the round unless it is over, then leaves to the selection scene.
    virtual void SaveAndQuit(Qmv2::Dialog* dialog, Qmv2::BaseObject* component) = 0;
    // A dialog closed: the round goes on and the scene's buttons and labels
    // are brought up to date.
    virtual void Refresh(Qmv2::Dialog* dialog, Qmv2::BaseObject* component) = 0;
    // Starts a new game from round 1.
    virtual void NewRound() = 0;
    // Opens the high-score dialog over the current scene.
    virtual void ShowHighScores() = 0;
};
