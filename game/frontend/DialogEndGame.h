// The two small dialogs at the end of a round: the game is over (play again
// or leave), and the round was passed (on to the next).
#pragma once

#include "game/frontend/DialogQuorvel2.h"

namespace Qmv2 {
class Label;
}

class DialogEndGame : public DialogQuorvel2 {
    QMV_INDEXED_TYPE(DialogEndGame)

    explicit DialogEndGame(Qmv2::PropertyNode* description);
    void Show() override;
    // Enter leaves the game as OK does.
    bool OnKeyDown(Qmv2::KeyboardMessageData* data) override;
    // One button, which leaves the game; the body says why.
    void SetWordOfTheDay();

    // Where the single button stands in the word-of-the-day form.
    static constexpr float kSingleButtonX = 192.0f;

private:
    static void OnOk(void* target, void* component);
    static void OnReplay(void* target, void* component);

    Qmv2::Label* m_Body = nullptr;
};

class DialogPassRound : public DialogQuorvel2 {
    QMV_INDEXED_TYPE(DialogPassRound)

    explicit DialogPassRound(Qmv2::PropertyNode* description);
    void Show() override;
    bool OnKeyDown(Qmv2::KeyboardMessageData* data) override;

private:
    static void OnOk(void* target, void* component);
};
