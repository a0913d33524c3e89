// One word of a crossword round: its letters as balls, the rack box where
// they wait and the answer box that the scene puts on the board. The rack
// is no scene node; its pieces are children of the scene (the answer box
// later of the board) and are marked obsolete when the rack goes.
#pragma once

#include <cstdint>

#include "framework/core/object/GFVector.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/util/UTF8String.h"

namespace Qmv2 {
class Scene;
}

class LetterBall;
class LetterBox;

class CrosswordRack {
public:
    static constexpr float kAnswerX = 315.0f;
    static constexpr float kAnswerY = 213.0f;
    static constexpr float kRackY = 375.0f;
    static constexpr float kScreenCentre = 400.0f;
    // A ball's frames within its letter's run: settled with the letter
    // showing, and turned to the solved face.
    static constexpr std::int32_t kSettledFrame = 11;
    static constexpr std::int32_t kSolvedFrame = 16;
    static constexpr std::int32_t kTurnFrameTime = 60;
    // A restored answer box of a word running down stands turned by a
    // quarter; its balls are turned back so that letters stay upright.
    static constexpr float kUpright = -1.5707964f;

    // `playedText` null or empty: a fresh, shuffled rack. Otherwise the rack
    // comes back solved with those letters in its answer box.
    CrosswordRack(Qmv2::Scene* scene, const Qmv2::UTF8String& letters, std::int32_t length, std::int32_t index,
                  const Qmv2::UTF8String* playedText, bool upright);
    ~CrosswordRack();
    CrosswordRack(const CrosswordRack&) = delete;
    CrosswordRack& operator=(const CrosswordRack&) = delete;

    // The word the rack stands for; the answer box shows its letters as hints.
    void SetHint(const Qmv2::UTF8String& text);
    // Solved: running moves end, the typed word is kept and the answer box's
    // balls turn to their solved face. Not solved: the kept word goes and
    // the balls turn back.
    void SetSolved(bool flag);
    void StopBallAnimations();

    Qmv2::Scene* GetScene() const noexcept { return scene; }
    std::int32_t GetIndex() const noexcept { return index; }
    const Qmv2::GFVector<Qmv2::SmartPtr<LetterBall>>& GetBalls() const noexcept { return balls; }
    const Qmv2::UTF8String& GetLetters() const noexcept { return letters; }
    std::int32_t GetLength() const noexcept { return length; }
    const Qmv2::UTF8String& GetHint() const noexcept { return hint; }
    LetterBox* GetRackBox() const noexcept { return rackBox.Get(); }
    LetterBox* GetAnswerBox() const noexcept { return answerBox.Get(); }

    Qmv2::UTF8String solvedText;
    Qmv2::UTF8String lastWord;
    bool solved = false;
    bool scored = false;
    bool letterRejected = false;

private:
    Qmv2::Scene* scene;
    std::int32_t index;
    Qmv2::GFVector<Qmv2::SmartPtr<LetterBall>> balls;
    Qmv2::UTF8String letters;
    std::int32_t length;
    Qmv2::UTF8String hint;
    Qmv2::SmartPtr<LetterBox> rackBox;
    Qmv2::SmartPtr<LetterBox> answerBox;
};
