// The two dialogs that interrupt a running game: the in-game menu (help,
// settings, stop, resume) and the pause, which silences the game until the
// player resumes.
#pragma once

#include "game/frontend/DialogQuorvel2.h"

class DialogMenu : public DialogQuorvel2 {
    QMV_INDEXED_TYPE(DialogMenu)

    explicit DialogMenu(Qmv2::PropertyNode* description);
    void Show() override;

private:
    static void OnHowToPlay(void* target, void* component);
    static void OnSettings(void* target, void* component);
    static void OnStop(void* target, void* component);
    static void OnStopConfirmed(void* target, void* component);
    static void OnResume(void* target, void* component);
};

class DialogPause : public DialogQuorvel2 {
    QMV_INDEXED_TYPE(DialogPause)

    explicit DialogPause(Qmv2::PropertyNode* description);
    // Pause sound, music fading out, everything muted once the dialog is in.
    void Show() override;
    // A click anywhere resumes.
    bool OnLeftButtonUp(Qmv2::MouseMessageData* data) override;
    void Resume();

private:
    static void OnResume(void* target, void* component);
    static void Mute(void* target, void* modifier);
};

// The close callback of both: the game goes on.
void ResumeOwnerScene(void* dialog);
