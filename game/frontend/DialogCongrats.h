// The two dialogs a game scene shows between rounds, both opening with a
// burst of letter balls that spell a line of text: the congratulation leads
// to the high scores, the next-round dialog to the next round (or, for the
// word of the day, out of the game).
#pragma once

#include <string>

#include "game/frontend/DialogQuorvel2.h"

namespace Qmv2 {
class Label;
class Modifier;
}  // namespace Qmv2

// Spells the text of `textKey` in letter balls on the dialog's numbered
// placeholders ("0", "1", ... for the non-blank characters), one every
// 200 ms from 500 ms on, each with eight particles that fly out and fade.
// The timed steps run in `animations`.
void PlayLetterBalls(Qmv2::Dialog& dialog, Qmv2::Modifier* animations, const std::string& textKey);

class DialogCongrats : public DialogQuorvel2 {
    QMV_INDEXED_TYPE(DialogCongrats)

    explicit DialogCongrats(Qmv2::PropertyNode* description);
    void Show() override;
    // Enter acts as OK.
    bool OnKeyDown(Qmv2::KeyboardMessageData* data) override;
    void OnOk();

private:
    static void OkButton(void* target, void* component);
};

class DialogNextRound : public DialogQuorvel2 {
    QMV_INDEXED_TYPE(DialogNextRound)

    explicit DialogNextRound(Qmv2::PropertyNode* description);
    void Show() override;
    bool OnKeyDown(Qmv2::KeyboardMessageData* data) override;
    // OK then leaves the game, and the body says so.
    void SetWordOfTheDay();
    bool IsWordOfTheDay() const noexcept { return m_WordOfTheDay; }
    void OnOk(Qmv2::BaseObject* component);

private:
    static void OkButton(void* target, void* component);

    bool m_WordOfTheDay = false;
    Qmv2::Label* m_Body = nullptr;
};
