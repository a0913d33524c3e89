// What a playing scene needs from the game's front end, which stands above
// the word game: the score entry of a high-score table, the yes/no question,
// and the word-of-the-day form of the end-of-round dialogs. The front end
// installs its implementation at start-up; without one the scene asks no
// question, enters no score and keeps the dialogs' ordinary form.
#pragma once

#include <cstdint>
#include <string>

#include "framework/core/object/iGuiMethod.h"

namespace Qmv2 {
class Dialog;
class HighScoreEntry;
class Scene;
}  // namespace Qmv2

class iRoundFrontEnd {
public:
    virtual ~iRoundFrontEnd() = default;

    // A new entry (one reference, for the caller to hand to a table).
    virtual Qmv2::HighScoreEntry* MakeScoreEntry(const std::string& player, std::int32_t score, std::int32_t mode,
                                                 std::int32_t time, const std::string& extra) = 0;
    // Opens, shows and fades in a question named by `messageKey` over
    // `scene`; null when it cannot be made.
    virtual Qmv2::Dialog* AskQuestion(Qmv2::Scene* scene, const std::string& messageKey,
                                      const std::string& headerKey, void* object,
                                      Qmv2::iGuiMethod::Callback yes, Qmv2::iGuiMethod::Callback no) = 0;
    // Turns a next-round or end-of-game dialog into its word-of-the-day form;
    // nothing for another dialog.
    virtual void SetWordOfTheDayForm(Qmv2::Dialog* dialog) = 0;

    static iRoundFrontEnd* Get() noexcept { return s_Instance; }
    static void Install(iRoundFrontEnd* frontEnd) noexcept { s_Instance = frontEnd; }

private:
    inline static iRoundFrontEnd* s_Instance = nullptr;
};
