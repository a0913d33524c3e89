// The short explanation of the current game mode that a game scene opens over
// itself: OK or Enter resumes the round; help opens the full help over the
// same scene.
#pragma once

#include "game/frontend/DialogQuorvel2.h"

namespace Qmv2 {
class Label;
}

class DialogTutorial : public DialogQuorvel2 {
    QMV_INDEXED_TYPE(DialogTutorial)

    explicit DialogTutorial(Qmv2::PropertyNode* description);
    // Shows the title and body of the current game mode.
    void Show() override;
    bool OnKeyDown(Qmv2::KeyboardMessageData* data) override;
    void OnOk(Qmv2::BaseObject* component);

private:
    static void OkButton(void* target, void* component);
    static void OnHelp(void* target, void* component);

    Qmv2::Label* m_Header = nullptr;
    Qmv2::Label* m_Body = nullptr;
};
