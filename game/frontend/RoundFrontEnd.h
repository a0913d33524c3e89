// The front end's services to the playing scenes: the game's score entries,
// its yes/no question and the word-of-the-day form of its end-of-round
// dialogs. Installed once by the front end's registration.
#pragma once

#include "game/words/iRoundFrontEnd.h"

class RoundFrontEnd : public iRoundFrontEnd {
public:
    Qmv2::HighScoreEntry* MakeScoreEntry(const std::string& player, std::int32_t score, std::int32_t mode,
                                         std::int32_t time, const std::string& extra) override;
    Qmv2::Dialog* AskQuestion(Qmv2::Scene* scene, const std::string& messageKey, const std::string& headerKey,
                              void* object, Qmv2::iGuiMethod::Callback yes, Qmv2::iGuiMethod::Callback no) override;
    void SetWordOfTheDayForm(Qmv2::Dialog* dialog) override;

    // Installs the one instance.
    static void InstallOnce();
};
