// The Blitz mode: a round deals several source words at once, each in its
// own rack, and the player must find, for each, one word that uses all its
// letters, against one clock that every found word refills. The words wait
// as small letter boxes in a column at the left; the word being worked on is
// shown large in the middle, and the player moves between words by button,
// key or a click on a small box. Finding every word wins the round and deals
// the next, with more and longer words; the clock running out ends the game.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "framework/core/object/GFVector.h"
#include "framework/core/util/Point.h"
#include "framework/core/util/Rect.h"
#include "game/words/AnagramTable.h"
#include "game/words/GameScene.h"

namespace Qmv2 {
class GameNode;
class Modifier;
class Sprite;
}  // namespace Qmv2

class BlitzScene : public GameScene {
    QMV_INDEXED_TYPE(BlitzScene)

    // A round is won by solving every word of it.
    const char* NextRoundBodyKey() const override;

    static constexpr std::int32_t kCommentTimeAdded = 6;
    static constexpr std::int32_t kSwitchWait = 500;
    static constexpr std::int32_t kSwitchTime = 400;
    // Input that waited for a word to land is taken this far apart, as a
    // quick player types.
    static constexpr std::int32_t kHeldInputGap = 30;
    static constexpr float kSmallScale = 0.33f;
    // A word's mark, shown as the round ends, stretches this wide for a moment.
    static constexpr float kMarkStretch = 1.2f;

    explicit BlitzScene(Qmv2::PropertyNode* description);
    ~BlitzScene() override;

    // --- the scene's life
    void Load() override;
    // Leaving also lets the renderer drop what it can load again.
    void Deactivate() override;

    // --- input and window messages
    // While the word in play slides and grows into the middle, what the
    // player does to it (keys, clicks, the play buttons) waits for it to
    // land: a ball sent off from a box still on its way would fly to where
    // its slot was at the key or click. Input that comes while older input
    // waits queues behind it.
    bool OnKeyDown(Qmv2::KeyboardMessageData* data) override;
    void OnButton(const Qmv2::UTF8String& command, Qmv2::BaseObject* parameter) override;
    bool OnMouseMove(Qmv2::MouseMessageData* data) override;
    bool OnLeftButtonDown(Qmv2::MouseMessageData* data) override;
    void OnLetterBoxClick(LetterBox* box, Qmv2::MouseMessageData* click) override;
    void OnMessage(const Qmv2::Message& message) override;

    // --- what the dialogs call
    void SaveAndQuit(Qmv2::Dialog* dialog, Qmv2::BaseObject* component) override;
    void Refresh(Qmv2::Dialog* dialog, Qmv2::BaseObject* component) override;

    // --- dealing and moving between words
    // Restores the player's saved Blitz game, or deals round 1.
    void StartMode() override;
    // Deals round `round`; the classic scene's source word is not used here.
    void StartRound(std::int32_t round, const Qmv2::UTF8String* word) override;
    void NextRound() override;
    void RefreshLabels() override;
    void RefreshState() override;
    // Makes word `index` the one being worked on; nothing while a change is
    // waiting or for an index outside the round.
    void SelectWord(std::int32_t index);
    void NextWord();
    void PreviousWord();
    // A click on a word's letters box: during play it selects that word
    // (true); after the round it opens the word's definition.
    bool OpenDefinition(LetterBox* box);

    // --- typing and scoring
    void RemoveLetter() override;
    void SubmitWord() override;
    void Mivel() override;
    void Hint();
    bool AllWordsSolved() const;

    // --- the clock and the end of a round
    void TimeUp();
    // Reveals every word in the column, then ends the game or opens the
    // next-round dialog.
    void EndRound() override;
    void EndGame();
    bool EnterFinalScore(bool congratulate) override;
    // The give-up question's yes: the round is lost and the game ends.
    void PassOrGiveUp() override;

    // --- saving
    // The round in play, or after a won round the start of the next one
    // with the score carried; nothing once the game is lost.
    void SaveGameInProgress() override;
    void SaveRound() override;
    void LoadRound() override;

    // Read access for the tests.
    const std::vector<std::unique_ptr<ClassicRack>>& GetRacks() const noexcept { return racks; }
    ClassicRack* GetCurrentRack() const noexcept { return currentRack; }
    std::int32_t GetCurrentIndex() const;
    bool IsSwitching() const noexcept { return switching; }
    bool UsedSkip() const noexcept { return usedSkip; }
    bool UsedHint() const noexcept { return usedHint; }
    bool UsedMivel() const noexcept { return usedMivel; }
    float GetColumnTop() const noexcept { return columnTop; }
    const Qmv2::GFVector<Qmv2::Sprite*>& GetMarks() const noexcept { return marks; }

protected:
    // The next-round button opens the next-round dialog.
    void OnNextRoundButton() override;
    // The hint and the buttons that move between words.
    void OnPlayCommand(const std::string& name) override;
    // The word being worked on.
    ClassicRack* RackInPlay() const override;
    // Tab, Right and Down move to the next open word; Left and Up back.
    bool OnMoveKey(std::int32_t keyCode) override;
    // Giving up ends the game; there is no pass.
    bool OffersPass() const override;
    // The veil over the words while the menu is up.
    void OnMenuOpened() override;
    // The clock, its warnings and its bar, and the word's automatic hint.
    void RunClock(std::int32_t dt) override;

private:
    // Deals a word into a new rack at the end of the column.
    void AddWord(const Qmv2::UTF8String& word, std::int32_t index, bool solved);
    // Removes the round's racks and their marks.
    void ClearWords();
    // Moves `from` back into the column and `to` to the middle; after `wait`
    // ms further changes are allowed again.
    void SwitchWord(ClassicRack* from, ClassicRack* to, std::int32_t wait);
    // A letters box in the column (small) or in the middle (large).
    struct Look {
        LetterBox* box;
        bool large;
    };
    void SetLook(Look look);
    // The column's fit to the round's longest word: the small boxes' scale,
    // the inside width of its frame, and the marks' left and right edges.
    struct ColumnFit {
        float smallScale;
        float width;
        float marksLeft;
        float end;
    };
    ColumnFit FitColumn() const;
    // A word in the middle is as large as fits between the marks and the
    // window's edge, at most full size; its box's top left for a full-size
    // row at `top`.
    float LargeScale(const LetterBox& box) const;
    Qmv2::PointF LargePlace(const LetterBox& box, float top) const;
    // Once a round's words are dealt: the column's scale and the typed rows.
    void LayOutWords();
    // The delayed steps carry the deal they belong to: leaving the scene
    // only suspends its animations, and a step of an earlier deal that comes
    // due after a restore or a new round does nothing.
    struct Step {
        std::int32_t deal;
        std::int32_t index;
    };
    template <typename P>
    void Later(Qmv2::Modifier* after, void (BlitzScene::*method)(P), P argument);
    // A found word leaves its typed-word box for the letters box, spelled in
    // the order it was typed, so that the column shows it.
    void SpellFoundWord(ClassicRack& rack);
    // The end of a word's move back into the column.
    void OnBackInColumn(Step step);
    void OnSwitchDone(std::int32_t deal);
    // The word brought in has landed in the middle (slide `of`): the input
    // that waited for it is taken, one every kHeldInputGap ms.
    void OnArrived(std::int32_t of);
    void TakeHeldInput(std::int32_t of);
    bool InputWaits() const noexcept { return arriving || !heldInput.empty(); }
    // A click during play: a letter of the word in play is typed, or the
    // last letter typed goes back.
    void ClickWordInPlay(float x, float y);
    void OnRefillDone(std::int32_t deal);
    void OnRevealDone(std::int32_t deal);
    void EndRoundOf(std::int32_t deal);
    void RevealWord(Step step);
    // Picks the next unsolved word after (step 1) or before (-1) the current.
    void StepWord(std::int32_t step);
    void Skip(bool forward);
    void ShowTimer(float fraction);
    void EarnTrophies();

    Qmv2::GameNode* pauseVeil = nullptr;
    // The left side of the column's frame and its bottom left corner.
    Qmv2::Sprite* frameSide = nullptr;
    Qmv2::Sprite* frameBottomLeft = nullptr;
    Qmv2::Sprite* timerSprite = nullptr;
    // The part of the clock bar shown.
    Qmv2::RectF timerClip;
    Qmv2::Button* nextWordButton = nullptr;
    Qmv2::Button* prevWordButton = nullptr;
    Qmv2::Button* hintButton = nullptr;
    float columnTop = 0.0f;
    // Counts the deals (new rounds and restores).
    std::int32_t deal = 0;
    bool switching = false;
    // Counts the words brought to the middle; the one of the last count is
    // on its way while `arriving` is set.
    std::int32_t arrival = 0;
    bool arriving = false;
    std::deque<std::function<void()>> heldInput;
    ClassicRack* currentRack = nullptr;
    std::vector<std::unique_ptr<ClassicRack>> racks;
    Qmv2::GFVector<Qmv2::Sprite*> marks;
    bool usedMivel = false;
    bool usedSkip = false;
    bool usedHint = false;
};
