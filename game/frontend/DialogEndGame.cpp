#include "game/frontend/DialogEndGame.h"

#include "framework/scene/Button.h"
#include "framework/scene/Label.h"
#include "game/words/iDialogOwnerScene.h"

using namespace Qmv2;

namespace {

DialogQuorvel2* AsDialog(void* target)
{
    return static_cast<DialogQuorvel2*>(target);
}

}  // namespace

DialogEndGame::DialogEndGame(PropertyNode* description)
    : DialogQuorvel2(description), m_Body(FindLabel("BODY_TEXT"))
{
    Bind("BUTTON_OK", &DialogEndGame::OnOk);
    Bind("BUTTON_REPLAY", &DialogEndGame::OnReplay);
}

void DialogEndGame::Show()
{
    DialogQuorvel2::Show();
    FadeIn();
}

void DialogEndGame::SetWordOfTheDay()
{
    SetLabelText(m_Body, "TEXT_END_ROUND_BODY_WOTD");
    if (GameNode* replay = FindChild("BUTTON_REPLAY", true)) {
        replay->SetVisible(false);
        if (replay->IsOfType(&Button::s_Type)) {
            static_cast<Button*>(replay)->SetEnabled(false);
        }
    }
    if (GameNode* ok = FindChild("BUTTON_OK", true)) {
        ok->SetX(kSingleButtonX);
    }
}

bool DialogEndGame::OnKeyDown(KeyboardMessageData* data)
{
    if (!IsOkKey(data)) {
        return false;
    }
    OnOk(AsTarget(), nullptr);
    return true;
}

void DialogEndGame::OnOk(void* target, void* component)
{
    if (iDialogOwnerScene* game = AsDialog(target)->GetOwnerGameScene()) {
        game->SaveAndQuit(AsDialog(target), static_cast<BaseObject*>(component));
    }
}

void DialogEndGame::OnReplay(void* target, void*)
{
    if (iDialogOwnerScene* game = AsDialog(target)->GetOwnerGameScene()) {
        game->NewRound();
    }
    HideSelf(target, nullptr);
}

DialogPassRound::DialogPassRound(PropertyNode* description) : DialogQuorvel2(description)
{
    Bind("BUTTON_OK", &DialogPassRound::OnOk);
}

void DialogPassRound::Show()
{
    DialogQuorvel2::Show();
    FadeIn();
}

bool DialogPassRound::OnKeyDown(KeyboardMessageData* data)
{
    if (!IsOkKey(data)) {
        return false;
    }
    OnOk(AsTarget(), nullptr);
    return true;
}

void DialogPassRound::OnOk(void* target, void*)
{
    SmartPtr<DialogQuorvel2> keep(AsDialog(target));
    if (iDialogOwnerScene* game = AsDialog(target)->GetOwnerGameScene()) {
        game->OnNextRoundConfirmed();
    }
    HideSelf(target, nullptr);
}
