// The playing scenes. Quorvel2Scene is the common base of the game's own
// scenes. GameScene plays the classic modes (timed, untimed and word of the
// day) and is the base of the other playing scenes, which keep its buttons,
// labels, score, round and clock, both word trees, its pending dialogs, its
// two popup queues and its listeners, and override part of its operations.
//
// A round: a source word is dealt as letter balls in the rack's letters box;
// typed letters or clicked balls move into the typed-word box; Enter submits
// the word to the answer table. A new word of n letters scores 10 n^2, the
// round's first word as long as the source word 1000 more, and filling every
// slot 100 per slot. The round is won by a full-length word (or by filling
// every slot); it is passed when the player passes or the clock runs out
// without one, and the third pass ends the game.
//
// Every delayed step runs as a modifier chain in the scene's own animations,
// so leaving the scene suspends it with the scene.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/core/app/iMessageListener.h"
#include "framework/core/object/GFVector.h"
#include "framework/core/object/MouseCursorCounter.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/util/Mutex.h"
#include "framework/core/util/UTF8String.h"
#include "framework/scene/Scene.h"
#include "game/words/AnagramTable.h"
#include "game/words/LetterBox.h"
#include "game/words/WordsRecords.h"
#include "game/words/iDialogOwnerScene.h"
#include "game/words/iWordPoolPosition.h"

namespace Qmv2 {
class Button;
class Font;
class Label;
class Modifier;
class PropertyNode;
class PropertyStore;
class PropertyVector;
class Sprite;
}  // namespace Qmv2

class ClassicRack;
class WordTree;
class iRoundProfile;
struct ClassicRoundSave;

class Quorvel2Scene : public Qmv2::Scene {
    QMV_INDEXED_TYPE(Quorvel2Scene)

    explicit Quorvel2Scene(Qmv2::PropertyNode* description);
    ~Quorvel2Scene() override;
};

class GameScene : public Quorvel2Scene,
                  public Qmv2::iMessageListener,
                  public iDialogOwnerScene,
                  public iLetterBoxOwner {
    QMV_INDEXED_TYPE(GameScene)

    // What Update opens on the next frame.
    enum PendingDialog : std::int32_t {
        kNoDialog = 0,
        kMenuButton = 1,
        kMenuPause = 2,
        kNextRoundDialog = 3,
        kPassQuestion = 4,
        kTutorialDialog = 5,
        kPassRoundDialog = 6,
    };
    enum GameState : std::int32_t { kPlaying = 0, kWon = 1, kLost = 2 };
    // Word-result popup codes.
    enum Comment : std::int32_t {
        kCommentNoWord = 0,
        kCommentAllWords = 1,
        kCommentFirstBingo = 2,
        kCommentFoundBefore = 3,
        kCommentNoFreeSlot = 5,
        kCommentNoSlotOfLength = 8,
        kCommentFirstWord = 10,
        kCommentWordOfTheDayBingo = 11,
    };

    static constexpr std::int32_t kRoundTime = 120000;
    static constexpr std::int32_t kCountdownStart = 10000;
    static constexpr std::int32_t kPassesPerGame = 3;
    static constexpr std::int32_t kBingoBonus = 1000;
    static constexpr std::int32_t kAllWordsBonusPerSlot = 100;
    // Day 0 of the word of the day: 2008-09-03, in whole UTC days since 1970.
    static constexpr std::int32_t kFirstDay = 14125;
    // Achievements the scene grants itself.
    static constexpr std::int32_t kAchievementQuickWin = 7;
    static constexpr std::int32_t kAchievementNoShuffle = 10;
    // A round won with at least this much of the clock left is a quick win.
    static constexpr std::int32_t kQuickWinTimeLeft = 80000;
    // Source-word draws a round may make at most, longer words included.
    static constexpr std::int32_t kMaxSourceDraws = 10000;
    static constexpr std::int32_t kSourceTries = 5;
    // A trophy pops up at kTrophyPop of its drawn size and settles at
    // kTrophyScale; its title, beside it, wraps within kTrophyTitleWidth and
    // grows to kTrophyTitlePop before it settles at full size.
    static constexpr float kTrophySize = 160.0f;
    static constexpr float kTrophyPop = 0.55f;
    static constexpr float kTrophyScale = 0.5f;
    static constexpr float kTrophyTitlePop = 1.2f;
    static constexpr float kTrophyTitleLeft = 52.0f;
    static constexpr float kTrophyTitleWidth = 140.0f;
    static constexpr float kTrophyTitleHeight = 48.0f;
    // A word-result pop-up's picture, drawn at its full size once it has
    // grown to kCommentPop and settled.
    static constexpr float kCommentWidth = 300.0f;
    static constexpr float kCommentHeight = 70.0f;
    static constexpr float kCommentPop = 1.2f;
    // Where a word-result pop-up stands when the answer table reaches its
    // usual place: right of the round's button, between the play buttons and
    // the bottom bar.
    static constexpr float kLowCommentX = 640.0f;
    static constexpr float kLowCommentY = 460.0f;

    explicit GameScene(Qmv2::PropertyNode* description);
    ~GameScene() override;

    Qmv2::Interface* GetInterface(const Qmv2::ClassType* type) override;

    // --- the scene's life
    // The components, the word trees, the locks and the trophy titles (the
    // first entry).
    void Load() override;
    // Entering: music, message listening, the mode's background, then a
    // new or restored game.
    void Show() override;
    // Leaving closes the dialogs, empties the popup queues and stops
    // listening.
    void Deactivate() override;
    // Pending dialogs, popups and the clock.
    void Update(std::int32_t dt) override;
    // The scene's commands: the menu, the next round and giving up at any
    // time, the typing commands while the scene takes them, and then the
    // scene's own (OnPlayCommand).
    void OnButton(const Qmv2::UTF8String& command, Qmv2::BaseObject* parameter) override;

    // --- input and window messages
    bool OnKeyDown(Qmv2::KeyboardMessageData* data) override;
    bool OnMouseMove(Qmv2::MouseMessageData* data) override;
    bool OnLeftButtonDown(Qmv2::MouseMessageData* data) override;
    void OnLetterBoxClick(LetterBox* box, Qmv2::MouseMessageData* click) override;
    void OnMessage(const Qmv2::Message& message) override;

    // --- what the dialogs call
    void OnNextRoundConfirmed() override;
    void SaveAndQuit(Qmv2::Dialog* dialog, Qmv2::BaseObject* component) override;
    void Refresh(Qmv2::Dialog* dialog, Qmv2::BaseObject* component) override;
    void NewRound() override;
    void ShowHighScores() override;
    // Opens the definition of the word at a point; this scene has none to
    // open and answers false.
    virtual bool OpenDefinition(float x, float y);

    // --- dealing
    virtual void StartMode();
    // The player's saved game of the mode when there is one, else round 1.
    void RestoreOrDeal();
    // The mode's tutorial opens with the first round the player ever plays
    // in it.
    void OfferTutorial(std::int32_t mode);
    // Deals round `round`; `word` gives the source word (null: draw one).
    virtual void StartRound(std::int32_t round, const Qmv2::UTF8String* word);
    virtual void NextRound();
    virtual void RefreshLabels();
    virtual void RefreshState();

    // --- typing and scoring
    virtual void PlaceLetter(const Qmv2::UTF8String& letter);
    virtual void RemoveLetter();
    virtual void ClearLetters();
    virtual void LastWord();
    virtual void SubmitWord();
    virtual void Mivel();

    // --- clock, passes and the end of a round
    virtual void RoundWon(std::int32_t delay);
    virtual void Pass(bool endOfTime);
    virtual void PassOrGiveUp();
    virtual void EndGameSequence(bool reveal);
    virtual void FinishDay();
    virtual void EndRound();
    void OnBusyDoneNextRound();
    void OnBusyDonePassRound();
    void OnPassQuestionYes();
    void OnPassQuestionNo();

    // --- saving
    virtual void SaveRound();
    virtual void LoadRound();
    // The log line a dealt or restored round leaves: its number, mode and word.
    void LogRound(const Qmv2::UTF8String& source) const;
    // What leaving keeps: the round in play, or the start of the next round
    // when the round is over but the game goes on; nothing once the game
    // (or the day's word) is over.
    virtual void SaveGameInProgress();

    // --- popups and dialogs
    // One trophy and one word-result popup at a time, from their queues.
    void ShowWaitingPopups();
    // Offers the game's score to the high-score table `tableName` (made
    // when missing and `create`); true when the table took it and the
    // congratulations opened (without `congratulate`: the tables were
    // written instead). A score of 0 enters nothing.
    bool EnterHighScore(const std::string& tableName, bool create, std::int32_t mode, std::int32_t time,
                        const std::string& extra, bool congratulate = true);
    // Offers the score of the game that has just ended to the mode's
    // table; with `congratulate` a score it takes is cheered with the
    // congratulations, else the tables are only written. True when taken.
    virtual bool EnterFinalScore(bool congratulate);
    // Leaving (or closing the window) while the end of a game still shows
    // would drop the score that end was about to offer, and the game's save
    // is already gone or no longer wanted: the score goes to its table at
    // once, quietly, and any save of the ended game is deleted.
    void KeepOwedScore();
    // The end of a game offers its score with the congratulations, unless
    // leaving kept it already; true when the table took it.
    bool OfferOwedScore();
    void CloseDialogs();
    void PushComment(std::int32_t code);
    std::int32_t PopComment();
    // Whether a word-result pop-up waits in the queue.
    bool CommentsWaiting() const;
    void DropWaitingComments();
    void PushAchievement(std::int32_t number);
    std::int32_t PopAchievement();
    virtual void ShowPopup(std::int32_t code);
    virtual void ShowTrophyPopup(std::int32_t number);
    // Where a word-result pop-up stands (its centre): where it hides no
    // answer of the board.
    virtual Qmv2::PointF CommentPlace() const;
    // What a word-result pop-up standing at `place` covers.
    static Qmv2::NodeBounds CommentFootprint(Qmv2::PointF place);
    // What it covers at the largest scale of its pop, which another pop-up
    // showing at the same time keeps clear of.
    static Qmv2::NodeBounds CommentPopFootprint(Qmv2::PointF place);
    // Where a trophy pops up (its centre); its title stands to its right.
    virtual Qmv2::PointF TrophyPlace() const;
    // What a trophy popping up at `place` covers at the largest scale of
    // its pop, title included.
    static Qmv2::NodeBounds TrophyFootprint(Qmv2::PointF place);
    // Whether the clock is in the last seconds that its ticks count.
    bool ClockRunsOut() const;
    // The text key of what the next-round dialog says the player did.
    virtual const char* NextRoundBodyKey() const;
    void OnCommentDone();
    void OnTrophyDone();
    void QuitToSelection();
    void OnTitleBarClick();

    // --- helpers the scenes share
    // The day the word of the day is kept under: whole UTC days since day 0.
    static std::int32_t DayNumber(std::time_t now);
    // The source word of a round: up to kSourceTries draws shorter than
    // `target` (the nearest kept, the first of equally near ones), a word of
    // exactly `target` letters at once, longer ones drawn again without a
    // try; at most kMaxSourceDraws draws in all, then the best so far (or the
    // last drawn when every draw was longer).
    static Qmv2::UTF8String ChooseSourceWord(std::int32_t target, const std::function<Qmv2::UTF8String()>& draw);
    // Keeps the first five words of each length 3 to 8, in order.
    static void CapWordOfTheDayList(AnagramTable::WordList& list);
    // The image key of a word-result popup.
    static std::string PopupImageKey(std::int32_t code);
    // The current player's record as a round sees it; null without one.
    static iRoundProfile* Profile();
    // Whether the current player has a saved game of this scene's mode.
    bool HasSavedGame() const;
    // Whether the word trees could be read; a scene without them refuses to
    // deal and goes back to the menu.
    bool HasWords() const;
    // The key of the dialog or question last opened by the scene (for tests
    // and the log).
    const std::string& GetLastOpened() const noexcept { return m_LastOpened; }

    // Read access for the subclasses' tests and the test suite.
    ClassicRack* GetRack() const noexcept { return m_Rack.get(); }
    std::int32_t GetScore() const noexcept { return m_Score; }
    std::int32_t GetRound() const noexcept { return m_Round; }
    std::int32_t GetTimeLeft() const noexcept { return m_TimeLeft; }
    std::int32_t GetPassCount() const noexcept { return m_PassCount; }
    std::int32_t GetGameState() const noexcept { return m_GameState; }
    bool IsCommentShowing() const noexcept { return m_CommentShowing; }
    std::int32_t GetPendingDialog() const noexcept { return m_PendingDialog; }
    std::int32_t GetDayNumber() const noexcept { return m_DayNumber; }
    std::int32_t GetCountdownMark() const noexcept { return m_CountdownMark; }
    std::int32_t GetBingoStreak() const noexcept { return m_BingoStreak; }
    bool IsDialogOpen() const noexcept { return m_DialogOpen; }
    bool IsBusy() const noexcept { return m_Busy; }
    const std::string& GetModeName() const noexcept { return m_ModeName; }
    WordTree* GetWordTree() const noexcept { return m_WordTree.get(); }
    WordTree* GetSecondWordTree() const noexcept { return m_SecondWordTree.get(); }

protected:
    // What the playing scenes differ in when they take commands and keys.
    // The next-round button: this scene wins the round after a pause.
    virtual void OnNextRoundButton();
    // Whether the typing commands are taken now.
    virtual bool TakesPlayCommands() const;
    // Whether a key is taken now: during play, with a word in play, no
    // dialog up and nothing running that stops the clock.
    bool TakesKeys() const;
    // A command none of the shared ones is.
    virtual void OnPlayCommand(const std::string& name);
    // The classic rack of the word in play, which the shared typing
    // commands act on; null when none is.
    virtual ClassicRack* RackInPlay() const;
    // The typed-word box of the word in play; null when none is, and then
    // no key is taken.
    virtual LetterBox* TypedWordBox() const;
    // Whether the player has typed into that box: Enter submits then, and
    // brings the last word back otherwise.
    virtual bool HasTypedLetters() const;
    // Tab and the arrows, in the scenes that move between words; true when
    // the key was taken.
    virtual bool OnMoveKey(std::int32_t keyCode);
    // Whether the give-up button asks to pass the round rather than to end
    // the game.
    virtual bool OffersPass() const;
    // The menu dialog has just come up.
    virtual void OnMenuOpened();
    // The clock of a round in play, once a frame while no dialog is open
    // and nothing is busy.
    virtual void RunClock(std::int32_t dt);
    // A click on a ball of the rack: one in the letters box goes to the
    // typed word, the typed word's last one goes back.
    void ClickBall(ClassicRack& rack, float x, float y);
    // Plays a sound of section "default".
    static void Play(const char* key);
    // Whether the scene plays the word of the day.
    bool IsWordOfTheDay() const noexcept { return m_ModeName == "WORD_OF_THE_DAY"; }
    bool IsTimed() const noexcept { return m_ModeName == "CLASSIC_TIMED"; }
    bool IsUntimed() const noexcept { return m_ModeName == "CLASSIC_UNTIMED"; }
    // Opens the scene's dialog `key` (made when missing) on top; null when
    // the game data lacks it.
    Qmv2::Dialog* OpenDialog(const std::string& key);
    // Runs `method` on the scene after `delay` ms in the scene's animations;
    // the wait belongs to the round and ends with it (DropRoundEnd).
    void After(std::int32_t delay, void (GameScene::*method)());
    // A new round drops what the last one's end still had on its way: the
    // waits of After, a next-round or pass-round dialog not yet shown, and
    // the owed score.
    // Leaving the game during that end deals the next round, and neither
    // may then finish it unplayed.
    void DropRoundEnd();
    // Deletes the current player's saved game of this mode.
    void DeleteSavedGame() const;
    // Stores `game` (taken over) as the current player's saved game of this
    // mode; a save that cannot be written is logged.
    void WriteSavedGame(Qmv2::PropertyNode* game);
    // Reads the current player's saved game of this mode and hands its GAME
    // node to `read`, which answers whether it can be used (and why not),
    // then deletes it, since a save is played once. A save that cannot be
    // read or used is first kept as "<file>.damaged" and the player told; one
    // that cannot be copied stays as it is. False when none is used.
    bool TakeSavedGame(const std::function<bool(Qmv2::PropertyNode& game, std::string& why)>& read);
    // Records the day as the player's last word of the day.
    void RecordDay();
    static void SetButton(Qmv2::Button* button, bool shown, bool enabled);
    static void SetLabel(Qmv2::Label* label, const std::string& text);
    // The clock labels for the time left.
    void ShowClock();

    std::int32_t m_PassCount = 0;
    std::int32_t m_DayNumber = 0;
    bool m_FirstWordCommented = false;
    std::unique_ptr<ClassicRack> m_Rack;
    Qmv2::Button* m_NextRoundButtonNormal = nullptr;
    Qmv2::Button* m_WotdDoneButton = nullptr;
    Qmv2::MouseCursorCounter m_BallCursor{2};
    std::int32_t m_PendingDialog = kNoDialog;
    Qmv2::Button* m_MenuButton = nullptr;
    Qmv2::Button* m_MivelButton = nullptr;
    Qmv2::Button* m_EnterButton = nullptr;
    Qmv2::Button* m_LastWordButton = nullptr;
    Qmv2::Button* m_ClearButton = nullptr;
    Qmv2::Button* m_NextRoundButton = nullptr;
    Qmv2::Button* m_GiveUpButton = nullptr;
    Qmv2::Button* m_PassButton = nullptr;
    Qmv2::Button* m_PassButton2 = nullptr;
    Qmv2::Label* m_TimerMinutesLabel = nullptr;
    Qmv2::Label* m_TimerSecondsLabel = nullptr;
    Qmv2::Label* m_ScoreLabel = nullptr;
    Qmv2::Label* m_RoundLabel = nullptr;
    Qmv2::Label* m_TimeLabel = nullptr;
    Qmv2::Sprite* m_PanelLeft = nullptr;
    Qmv2::Sprite* m_PanelLeftCorner = nullptr;
    Qmv2::Sprite* m_PanelRight = nullptr;
    Qmv2::Sprite* m_PanelRightCorner = nullptr;
    Qmv2::Sprite* m_PanelBottom = nullptr;
    Qmv2::Sprite* m_PanelBackground = nullptr;
    // The classic scene's top edge of the frame and its two top corners.
    Qmv2::Sprite* m_PanelTop = nullptr;
    Qmv2::Sprite* m_PanelTopLeft = nullptr;
    Qmv2::Sprite* m_PanelTopRight = nullptr;
    // The panel behind the letter rows: the answer table's frame ends above it.
    Qmv2::Sprite* m_RackPanel = nullptr;
    bool m_DialogOpen = false;
    std::int32_t m_GameState = kPlaying;
    std::unique_ptr<WordTree> m_WordTree;
    std::unique_ptr<WordTree> m_SecondWordTree;
    std::int32_t m_MinWordLength = 6;
    std::int32_t m_MaxWordLength = 8;
    bool m_Busy = false;
    std::int32_t m_TimeLeft = kRoundTime;
    std::int32_t m_Round = 1;
    std::int32_t m_CountdownMark = kCountdownStart;
    std::int32_t m_Score = 0;
    std::string m_ModeName;
    Qmv2::SmartPtr<Qmv2::PropertyVector> m_TrophyTitles;
    Qmv2::GFVector<std::int32_t> m_CommentQueue;
    std::unique_ptr<Qmv2::Mutex> m_CommentLock;
    bool m_CommentShowing = false;
    std::int32_t m_CommentCode = -1;  // the comment showing or last shown
    float m_PopupX = 400.0f;
    float m_PopupY = 150.0f;
    // Where the comment and the trophy showing (or last shown) stand.
    Qmv2::PointF m_CommentAt;
    Qmv2::PointF m_TrophyAt;
    // The clock's font, and the one of its last seconds.
    Qmv2::SmartPtr<Qmv2::Font> m_ClockFont;
    Qmv2::SmartPtr<Qmv2::Font> m_ClockLowFont;
    float m_TrophyX = 60.0f;
    float m_TrophyY = 468.0f;
    Qmv2::GFVector<std::int32_t> m_AchievementQueue;
    std::unique_ptr<Qmv2::Mutex> m_AchievementLock;
    bool m_TrophyShowing = false;
    std::int32_t m_TrophyNumber = -1;  // the trophy showing or last shown
    std::int32_t m_WordsSinceMivel = 0;
    bool m_MivelUsed = false;
    bool m_WordRejected = false;
    std::int32_t m_BingoStreak = 0;
    bool m_Listening = false;
    bool m_WordsLoaded = false;
    std::string m_LastOpened;
    // The waits After started in this round.
    std::vector<Qmv2::SmartPtr<Qmv2::Modifier>> m_RoundWaits;
    // The won round's dialog waits for the word-result pop-ups to go.
    bool m_DialogAfterComments = false;
    // The game is over and its end is showing: its score is yet to be
    // offered to the high-score table (KeepOwedScore).
    bool m_ScoreOwed = false;
    // The word pool position when the player keeps none.
    WordPoolPosition m_SparePool;
};
