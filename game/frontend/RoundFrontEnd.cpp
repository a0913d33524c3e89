#include "game/frontend/RoundFrontEnd.h"

#include "framework/scene/Scene.h"
#include "game/frontend/DialogCongrats.h"
#include "game/frontend/DialogEndGame.h"
#include "game/frontend/DialogYesNo.h"
#include "game/frontend/Quorvel2ScoreEntry.h"

using namespace Qmv2;

HighScoreEntry* RoundFrontEnd::MakeScoreEntry(const std::string& player, std::int32_t score, std::int32_t mode,
                                              std::int32_t time, const std::string& extra)
{
    return new Quorvel2ScoreEntry(player, score, mode, time, extra);
}

Dialog* RoundFrontEnd::AskQuestion(Scene* scene, const std::string& messageKey, const std::string& headerKey,
                                   void* object, iGuiMethod::Callback yes, iGuiMethod::Callback no)
{
    DialogYesNo* question = DialogYesNo::Open(scene, messageKey, headerKey, object, yes, object, no);
    if (question == nullptr) {
        return nullptr;
    }
    scene->ShowDialog(question);
    question->FadeIn();
    return question;
}

void RoundFrontEnd::SetWordOfTheDayForm(Dialog* dialog)
{
    if (auto* next = dynamic_cast<DialogNextRound*>(dialog)) {
        next->SetWordOfTheDay();
    } else if (auto* end = dynamic_cast<DialogEndGame*>(dialog)) {
        end->SetWordOfTheDay();
    }
}

void RoundFrontEnd::InstallOnce()
{
    static RoundFrontEnd instance;
    iRoundFrontEnd::Install(&instance);
}
