#include "game/frontend/DialogTutorial.h"

#include <string>

#include "framework/scene/Label.h"
#include "game/words/GameMode.h"
#include "game/words/iDialogOwnerScene.h"

using namespace Qmv2;

DialogTutorial::DialogTutorial(PropertyNode* description)
    : DialogQuorvel2(description), m_Header(FindLabel("HEADER")), m_Body(FindLabel("BODY_TEXT"))
{
    Bind("BUTTON_OK", &DialogTutorial::OkButton);
    Bind("BUTTON_HELP", &DialogTutorial::OnHelp);
}

void DialogTutorial::Show()
{
    DialogQuorvel2::Show();
    FadeIn();
    const std::string mode = std::to_string(GameMode::Get());
    SetLabelText(m_Header, "TEXT_TUTORIAL_TITLE_" + mode);
    SetLabelText(m_Body, "TEXT_TUTORIAL_BODY_" + mode);
}

bool DialogTutorial::OnKeyDown(KeyboardMessageData* data)
{
    if (!IsOkKey(data)) {
        return false;
    }
    OnOk(nullptr);
    return true;
}

void DialogTutorial::OkButton(void* target, void* component)
{
    static_cast<DialogTutorial*>(static_cast<DialogQuorvel2*>(target))->OnOk(static_cast<BaseObject*>(component));
}

void DialogTutorial::OnOk(BaseObject* component)
{
    if (iDialogOwnerScene* game = GetOwnerGameScene()) {
        game->Refresh(this, component);
    }
    HideSelf(AsTarget(), nullptr);
}

void DialogTutorial::OnHelp(void* target, void*)
{
    static_cast<DialogQuorvel2*>(target)->OpenOver("DIALOG_HELP");
}
