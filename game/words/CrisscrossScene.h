// The crossword mode. A round is a small crossword of words made from the
// letters of one source word; each word has its own rack, and its answer
// box stands on a board that slides to the word being typed, turns so that
// a word running down reads across, and zooms between the whole crossword
// and that word. A solved word fixes its letters in the words crossing it.
// The mode has no clock; a round ends when every word is found (the next
// round follows) or when the player gives up (the game ends).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "framework/core/object/SmartPtr.h"
#include "game/words/GameScene.h"

namespace Qmv2 {
class ClickableSprite;
class GameNode;
class ModifierContainer;
}  // namespace Qmv2

class CrosswordRack;
class CrosswordTable;
class WordPlacement;

class CrisscrossScene : public GameScene {
    QMV_INDEXED_TYPE(CrisscrossScene)

    // A round is won by solving the whole board.
    const char* NextRoundBodyKey() const override;

    // Word-result popups of this mode.
    enum CrossComment : std::int32_t { kCommentNoCrossing = 4, kCommentFixedLetter = 7, kCommentNotAWordHere = 9 };
    // Achievements of a round played through.
    static constexpr std::int32_t kAchievementNoShuffle = 8;
    static constexpr std::int32_t kAchievementNoReopen = 9;
    static constexpr std::int32_t kAllWordsBonus = 1000;
    // The board: the whole crossword at half size, or the current word at full size.
    static constexpr float kZoomedOut = 0.5f;
    static constexpr float kZoomedIn = 1.0f;
    static constexpr float kCell = 69.0f;
    static constexpr float kQuarterTurn = 1.5707964f;
    // Where the current word's centre comes to rest on the screen.
    static constexpr float kWordCentreX = 400.0f;
    static constexpr float kWordCentreY = 189.0f;
    // The board's window on the screen, which clicks and the pointer read.
    static constexpr float kBoardLeft = 85.0f;
    static constexpr float kBoardTop = 20.0f;
    static constexpr float kBoardRight = 715.0f;
    static constexpr float kBoardBottom = 360.0f;
    // The part of the board's window that its frame leaves clear: inside the
    // rim, the rim's shadow at the top and left, the hairline and the rounded
    // corners. The board's moves keep their words inside it.
    static constexpr float kClearLeft = kBoardLeft + 10.0f;
    static constexpr float kClearTop = kBoardTop + 8.0f;
    static constexpr float kClearRight = kBoardRight - 8.0f;
    static constexpr float kClearBottom = kBoardBottom - 6.0f;
    // Where a trophy may pop up: the bottom corners of the board's window.
    static constexpr float kTrophyLeftX = kBoardLeft + 55.0f;
    static constexpr float kTrophyRightX = kBoardRight - 285.0f;
    static constexpr float kTrophyY = kBoardBottom - 60.0f;
    // The places tried for a pop-up lie this far apart.
    static constexpr float kPlaceStep = 10.0f;
    static constexpr std::int32_t kOverOtherPopUp = 1000000;
    static constexpr std::int32_t kMoveTime = 400;
    static constexpr std::int32_t kTurnDelay = 300;
    static constexpr std::int32_t kTurnTime = 800;
    static constexpr std::int32_t kZoomTime = 400;
    static constexpr std::int32_t kNoWord = -1;
    static constexpr std::int32_t kNextWordDelay = 700;
    static constexpr std::int32_t kSheenDelay = 2500;
    static constexpr std::int32_t kRevealDelay = 2750;
    static constexpr std::int32_t kRevealStep = 150;
    static constexpr std::int32_t kSheenStep = 300;

    explicit CrisscrossScene(Qmv2::PropertyNode* description);
    ~CrisscrossScene() override;

    // --- the scene's life
    void Load() override;
    void Show() override;
    void Deactivate() override;

    // --- input and window messages
    bool OnMouseMove(Qmv2::MouseMessageData* data) override;
    bool OnLeftButtonDown(Qmv2::MouseMessageData* data) override;
    void OnLetterBoxClick(LetterBox* box, Qmv2::MouseMessageData* click) override;

    // --- what the dialogs call
    void SaveGameInProgress() override;

    // --- dealing and the board
    void StartMode() override;
    void StartRound(std::int32_t round, const Qmv2::UTF8String* word) override;
    void NextRound() override;
    void RefreshState() override;
    void LayOutBoard();
    void MarkCrossings();
    void Zoom();
    void NextWord(bool skipSolved);
    void PrevWord();
    void SelectWord(std::int32_t index);

    // --- typing and scoring
    void PlaceLetter(const Qmv2::UTF8String& letter) override;
    void RemoveLetter() override;
    void ClearLetters() override;
    void LastWord() override;
    void SubmitWord() override;
    void Mivel() override;
    void RemoveLetterFrom(bool withFixed);
    void ClearLettersFrom(bool withFixed);
    // The answer box's last letter back into the rack box, without a sound.
    void TakeBackLastLetter(CrosswordRack& rack, bool withFixed);
    void ReopenWord();
    // Whether the letters typed so far leave every crossing word makeable.
    bool CheckCrossing() const;

    // --- the end of a round, saving
    // The give-up question's yes; its no is the classic scene's.
    void PassOrGiveUp() override;
    void GiveUpConfirmed();
    void EndRound() override;
    bool EnterFinalScore(bool congratulate) override;
    void SaveRound() override;
    void LoadRound() override;
    // Opens the definition of a box's word after the round, or selects its
    // word while playing; false when the click is not the board's.
    bool OpenBoxDefinition(LetterBox* box, Qmv2::MouseMessageData* click);

    // Read access for the tests.
    CrosswordTable* GetTable() const noexcept { return m_Table.Get(); }
    const std::vector<std::unique_ptr<CrosswordRack>>& GetRacks() const noexcept { return m_Racks; }
    std::int32_t GetCurrentIndex() const noexcept { return m_Current; }
    CrosswordRack* GetCurrentRack() const;
    Qmv2::ClickableSprite* GetBoard() const noexcept { return m_Board; }
    Qmv2::Sprite* GetHighlight() const noexcept { return m_Highlight; }
    bool IsBoardHorizontal() const noexcept { return m_BoardHorizontal; }
    bool AllSolved() const;
    // Near a bottom corner of the board's window, where a trophy and its
    // title hide no cell of the board.
    Qmv2::PointF TrophyPlace() const override;
    // Near the middle of the window's top, where a comment hides no cell of
    // the board.
    Qmv2::PointF CommentPlace() const override;
    // How many pictures of the board touch `area` on the screen.
    std::int32_t CellsCovered(const Qmv2::NodeBounds& area) const;

protected:
    // The next-round button opens the next-round dialog.
    void OnNextRoundButton() override;
    // No command is taken while an animation runs.
    bool TakesPlayCommands() const override;
    // The zoom and the buttons that move between words.
    void OnPlayCommand(const std::string& name) override;
    LetterBox* TypedWordBox() const override;
    // The letters fixed by solved crossing words are not the player's.
    bool HasTypedLetters() const override;
    // Tab and Right: the next word; Left: the one before; Up and Down zoom.
    bool OnMoveKey(std::int32_t keyCode) override;

private:
    using Footprint = Qmv2::NodeBounds (*)(Qmv2::PointF);
    // Where a pop-up covering `footprint` round its centre hides no piece of
    // the board (a cell, a letter, the highlight round the word in play) and
    // keeps clear of the other pop-up (at `other`, when it shows), each at
    // the largest scale of its pop (`reach`, `otherReach`): of the places
    // inside the board's clear window, the one nearest a `usual` one; where
    // every place hides some, one that hides the fewest.
    Qmv2::PointF FreePlace(std::initializer_list<Qmv2::PointF> usual, Footprint footprint, Footprint reach,
                           const Qmv2::PointF* other, Footprint otherReach) const;
    const WordPlacement* Placement(std::int32_t index) const;
    void DeleteRacks();
    // A new rack: its answer box on the board, its balls rolling in.
    void AddRack(std::unique_ptr<CrosswordRack> rack);
    // The word `index` current, the first word's crossings marked, the board
    // laid out.
    void ShowWord(std::int32_t index);
    // The round's table, hidden, in place of the last one.
    void InstallTable(Qmv2::SmartPtr<CrosswordTable> table);
    void ShowBoxLetters(bool hidden);
    // The centre of the word's answer box on the board, in whole pixels.
    Qmv2::PointF WordCentre(std::int32_t index) const;
    void CentreOn(std::int32_t index, void (CrisscrossScene::*then)());
    // The board's pivot moved to its point `point`, the board left where it
    // stands on the screen.
    void PivotAt(const Qmv2::PointF& point);
    // `left`: the word the player leaves, kNoWord when none (a deal, a zoom).
    void CentreOnCurrentWord(std::int32_t left);
    void SlideToCurrentWord();
    // The largest board scale, at most `scale`, at which the current word and
    // the word `left` stay whole inside the board's clear window from the
    // start of the slide to the current word (none when `left` is kNoWord:
    // the board comes from anywhere) to the end of its turn.
    float FittingScale(std::int32_t left, float scale) const;
    // Where the corners of the word lie from the board's point `at` at scale
    // 1 with the board turned to `rotation`, added to `reach`.
    void AddReach(std::vector<Qmv2::PointF>& reach, std::int32_t word, const Qmv2::PointF& at, float rotation) const;
    // The largest scale, at most `scale`, at which every point of `reach`,
    // taken from the window's middle, lies inside the clear window.
    static float Fit(const std::vector<Qmv2::PointF>& reach, float scale);
    void CentreOnFirstWord();
    void RotateWord();
    void AfterWordChange();
    void AfterFirstWordCentred();
    // Says in the log that the word in the middle takes typing (the board has
    // come to rest), for whoever drives the game from outside.
    void SayWordInPlay() const;
    void UpdateHighlight();
    void UpdateHighlightAfterTyping();
    void WordAccepted();
    void NextUnsolvedWord();
    void EndOfRoundAnimation();
    void AfterZoomOutAtEnd();
    void OnEndSheenDone();
    void SheenBox(LetterBox* box);
    void RevealBox(LetterBox* box);
    void OnEndRevealDone();
    void OnBoardIdle();
    // Places the ball into the current answer box (the next free slot, or
    // `slot`) at the board's scale.
    void PutIntoAnswer(LetterBall* ball, std::int32_t slot);
    // Places a typed or clicked ball and checks the crossings.
    void AfterBallPlaced();
    float BoardScale() const;
    // Turns every piece of every answer box by `angle`, after the turn delay.
    void TurnPieces(float angle);
    // Attaches `modifier` after `after`, or as a new chain of the round's
    // animations when `after` is null.
    Qmv2::Modifier* Run(Qmv2::Modifier* modifier, Qmv2::Modifier* after, Qmv2::GameNode* target);
    Qmv2::Modifier* Call(void (CrisscrossScene::*method)(), Qmv2::Modifier* after);
    Qmv2::Modifier* Attach(Qmv2::Modifier* modifier, Qmv2::Modifier* after);
    // A new deal drops what the last round still had on its way: leaving the
    // scene only suspends its animations, so a word change or the end of a
    // round left running would otherwise go on in the round dealt or
    // restored at the next entry, and a next-round dialog still due would
    // pass that round over unplayed.
    void DropRoundSteps();

    std::int32_t m_Current = 0;
    std::vector<std::unique_ptr<CrosswordRack>> m_Racks;
    // Holds the round's animation chains, beside the popups of the scene.
    Qmv2::SmartPtr<Qmv2::ModifierContainer> m_RoundSteps;
    Qmv2::GameNode* m_NextWordButton = nullptr;
    Qmv2::GameNode* m_PrevWordButton = nullptr;
    Qmv2::ClickableSprite* m_Board = nullptr;
    Qmv2::Sprite* m_Highlight = nullptr;
    Qmv2::SmartPtr<CrosswordTable> m_Table;
    bool m_BoardHorizontal = true;
    bool m_ZoomInPending = false;
    Qmv2::GameNode* m_ZoomButton = nullptr;
    bool m_WordReopened = false;
    bool m_Loaded = false;
};
