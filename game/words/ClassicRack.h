// Everything one source word needs on screen in a classic or Blitz round:
// the answer table, one letter ball per letter, the rack row where the balls
// wait and the answer row where the typed word is built. It is no scene node
// itself: its pieces are children of the scene and leave it with the rack.
#pragma once

#include <cstdint>

#include "framework/core/object/GFVector.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/util/UTF8String.h"
#include "game/words/AnagramTable.h"

namespace Qmv2 {
class Scene;
}

class LetterBall;
class LetterBox;

class ClassicRack {
public:
    static constexpr float kScreenCentre = 400.0f;
    static constexpr float kTableTop = 15.0f;
    // The frame the scene draws round the table, on each side.
    static constexpr float kTableFrame = 10.0f;
    // Between the tiles and the frame, on every side as under the frame's
    // top edge, which runs along the window's top.
    static constexpr float kTableMargin = kTableTop - kTableFrame;
    static constexpr float kAnswerRowTop = 213.0f;
    static constexpr float kRackRowTop = 295.0f;

    // `answers` get slots, `accepted` are the words the round takes (either
    // may be null: no words).
    ClassicRack(Qmv2::Scene* scene, const Qmv2::UTF8String& sourceWord, const AnagramTable::WordList* answers,
                const AnagramTable::WordList* accepted, std::int32_t index, bool smallBalls, bool solved);
    ~ClassicRack();
    ClassicRack(const ClassicRack&) = delete;
    ClassicRack& operator=(const ClassicRack&) = delete;

    // Every ball's running move jumps to its end.
    void FinishMoves();
    // The table centred under the window's top at full size where it fits,
    // else drawn smaller: with its margins and the frame round them it stays
    // inside the window's width and its frame ends above `bottom`.
    void FitTable(float bottom);

    AnagramTable* GetTable() const noexcept { return table.Get(); }
    LetterBox* GetRackBox() const noexcept { return rackBox.Get(); }
    LetterBox* GetAnswerBox() const noexcept { return answerBox.Get(); }
    const Qmv2::GFVector<Qmv2::SmartPtr<LetterBall>>& GetBalls() const noexcept { return balls; }
    const Qmv2::UTF8String& GetSourceWord() const noexcept { return sourceWord; }
    std::int32_t GetIndex() const noexcept { return index; }

    Qmv2::UTF8String auxText;
    Qmv2::UTF8String lastWord;
    bool solved;
    Qmv2::UTF8String spareText;
    std::int32_t hintCountdown = 0;
    std::int32_t hintsUsed = 0;

private:
    Qmv2::Scene* scene;
    std::int32_t index;
    Qmv2::SmartPtr<AnagramTable> table;
    Qmv2::GFVector<Qmv2::SmartPtr<LetterBall>> balls;
    Qmv2::UTF8String sourceWord;
    Qmv2::SmartPtr<LetterBox> rackBox;
    Qmv2::SmartPtr<LetterBox> answerBox;
};
