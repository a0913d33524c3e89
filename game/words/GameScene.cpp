#include "game/words/GameScene.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "framework/core/app/GameWindow.h"
#include "framework/core/app/Message.h"
#include "framework/core/app/MessageData.h"
#include "framework/core/app/MessageHandler.h"
#include "framework/core/data/AbstractPlayer.h"
#include "framework/core/data/HighScoreManager.h"
#include "framework/core/data/HighScoreTable.h"
#include "framework/core/data/PlayerManager.h"
#include "framework/core/files/ResourceManager.h"
#include "framework/core/files/ResourceObject.h"
#include "framework/core/properties/BasicProperties.h"
#include "framework/core/properties/DataManager.h"
#include "framework/core/properties/PropertyStore.h"
#include "framework/core/properties/PropertyVector.h"
#include "framework/core/util/Platform.h"
#include "framework/core/util/Random.h"
#include "framework/graphics/render/Renderer.h"
#include "framework/graphics/text/Font.h"
#include "framework/scene/Button.h"
#include "framework/scene/Label.h"
#include "framework/scene/ModifierAlpha.h"
#include "framework/scene/ModifierDelay.h"
#include "framework/scene/ModifierFrame.h"
#include "framework/scene/ModifierMethod.h"
#include "framework/scene/ModifierScale.h"
#include "framework/scene/SceneManager.h"
#include "framework/scene/Sprite.h"
#include "framework/sound/ResourceStream.h"
#include "framework/sound/SoundManager.h"
#include "game/words/ClassicRack.h"
#include "game/words/ClassicRoundSave.h"
#include "game/words/ClockRate.h"
#include "game/words/GameMode.h"
#include "game/words/GameSceneSupport.h"
#include "game/words/GameSound.h"
#include "game/words/LetterBall.h"
#include "game/words/WordTree.h"
#include "game/words/iRoundFrontEnd.h"
#include "game/words/iRoundProfile.h"

using namespace Qmv2;
using namespace GameSceneSupport;

namespace {

constexpr const char* kMainWords = "data/Quorvel2Words.tree";
constexpr const char* kSecondWords = "data/TollivaneWords.tree";
// The thickness of the frame round the answer table, and the margin between
// the table's tiles and the frame.
constexpr float kFrame = ClassicRack::kTableFrame;
constexpr float kMargin = ClassicRack::kTableMargin;
// Between the frame's bottom edge and the panel behind the letter rows.
constexpr float kFrameAboveRackPanel = 5.0f;


// The questions the Pass and Give up buttons ask, by their texts' keys.
constexpr const char* kPassText = "TEXT_DIALOG_PASS";
constexpr const char* kLastPassText = "TEXT_DIALOG_PASS_LAST";
constexpr const char* kGiveUpText = "TEXT_DIALOG_GIVEUP";

MessageHandler* Messages()
{
    GameWindow* window = GameWindow::GetInstance();
    return window != nullptr ? &window->GetMessageHandler() : nullptr;
}

// Chains `modifier` on `target` after `after`.
Modifier* Chain(Modifier* modifier, Modifier* after, GameNode* target)
{
    modifier->SetTarget(target);
    return Modifier::AttachTo(modifier, after);
}

ModifierScale* Scale(std::int32_t duration, float from, float to, EaseFunction easing)
{
    auto* scale = new ModifierScale(duration, easing);
    scale->SetFrom(from, from);
    scale->SetTo(to, to);
    return scale;
}

void QuestionYes(void* object, void*)
{
    static_cast<GameScene*>(object)->OnPassQuestionYes();
}

void QuestionNo(void* object, void*)
{
    static_cast<GameScene*>(object)->OnPassQuestionNo();
}

std::string Decimal(std::int32_t value)
{
    return std::to_string(value);
}

// The font resource of that key in the default section, or null.
Font* GameFont(const char* key)
{
    ResourceManager* resources = ResourceManager::GetInstance();
    ResourceObject* resource = resources != nullptr ? resources->GetResource(key, "default") : nullptr;
    BaseObject* content = resource != nullptr ? resource->GetContent() : nullptr;
    return content != nullptr && content->IsOfType(&Font::s_Type) ? static_cast<Font*>(content) : nullptr;
}

}  // namespace

// --- Quorvel2Scene

Quorvel2Scene::Quorvel2Scene(PropertyNode* description) : Scene(description) {}

Quorvel2Scene::~Quorvel2Scene() = default;

// --- construction

GameScene::GameScene(PropertyNode* description)
    : Quorvel2Scene(description),
      m_WordTree(std::make_unique<WordTree>()),
      m_SecondWordTree(std::make_unique<WordTree>()),
      m_CommentLock(Mutex::Create("Comment")),
      m_AchievementLock(Mutex::Create("Achievement"))
{
}

GameScene::~GameScene()
{
    m_Rack.reset();
    m_BallCursor.Set(false);
    if (m_Listening) {
        if (MessageHandler* messages = Messages()) {
            messages->RemoveListener(this);
        }
    }
}

Interface* GameScene::GetInterface(const ClassType* type)
{
    if (type == &iMessageListener::s_Type) {
        return static_cast<iMessageListener*>(this);
    }
    return Quorvel2Scene::GetInterface(type);
}

// --- the scene's life

void GameScene::Load()
{
    Quorvel2Scene::Load();
    m_MenuButton = FindTyped<Button>(*this, "BUTTON_Menu");
    m_MivelButton = FindTyped<Button>(*this, "BUTTON_Mivel");
    m_EnterButton = FindTyped<Button>(*this, "BUTTON_Enter");
    m_LastWordButton = FindTyped<Button>(*this, "BUTTON_LastWord");
    m_ClearButton = FindTyped<Button>(*this, "BUTTON_Clear");
    m_NextRoundButton = FindTyped<Button>(*this, "BUTTON_NextRound");
    m_GiveUpButton = FindTyped<Button>(*this, "BUTTON_GiveUp");
    m_TimerMinutesLabel = FindTyped<Label>(*this, "LABEL_TimerMinutes");
    m_TimerSecondsLabel = FindTyped<Label>(*this, "LABEL_TimerSeconds");
    m_ClockFont = m_TimerSecondsLabel != nullptr ? m_TimerSecondsLabel->GetFont() : nullptr;
    m_ClockLowFont = GameFont("FONT_CLOCK_LOW");
    m_RoundLabel = FindTyped<Label>(*this, "LABEL_ROUND");
    m_TimeLabel = FindTyped<Label>(*this, "TIME_LABEL");
    m_ScoreLabel = FindTyped<Label>(*this, "LABEL_Score");
    m_PanelLeft = FindTyped<Sprite>(*this, "PANEL_LEFT");
    m_PanelLeftCorner = FindTyped<Sprite>(*this, "PANEL_LEFTCORNER");
    m_PanelRight = FindTyped<Sprite>(*this, "PANEL_RIGHT");
    m_PanelRightCorner = FindTyped<Sprite>(*this, "PANEL_RIGHTCORNER");
    m_PanelBottom = FindTyped<Sprite>(*this, "PANEL_BOTTOM");
    m_PanelBackground = FindTyped<Sprite>(*this, "PANEL_BG");
    m_PanelTop = FindTyped<Sprite>(*this, "PANEL_TOP");
    m_PanelTopLeft = FindTyped<Sprite>(*this, "PANEL_TOPLEFT");
    m_PanelTopRight = FindTyped<Sprite>(*this, "PANEL_TOPRIGHT");
    m_RackPanel = FindTyped<Sprite>(*this, "RACK_PANEL");
    m_MinWordLength = 6;
    m_MaxWordLength = 8;
    m_Score = 0;

    std::string problem;
    m_WordsLoaded = m_WordTree->LoadFile(kMainWords, &problem);
    if (m_WordsLoaded) {
        m_WordsLoaded = m_SecondWordTree->LoadFile(kSecondWords, &problem);
    }
    if (!m_WordsLoaded) {
        Platform::Log("The word files cannot be read: %s\n", problem.c_str());
    }
    m_Rack.reset();
    m_PopupX = 400.0f;
    m_PopupY = 150.0f;
    // Under the play buttons, left of the pass button.
    m_TrophyX = 60.0f;
    m_TrophyY = 468.0f;
    if (BasicProperties* properties = BasicProperties::GetInstance()) {
        m_TrophyTitles = properties->GetList("TEXT_TROPHY_TITLES");
    }
}

bool GameScene::HasWords() const
{
    return m_WordsLoaded && !m_WordTree->IsEmpty() && !m_SecondWordTree->IsEmpty();
}

void GameScene::Show()
{
    Quorvel2Scene::Show();
    if (SoundManager* sound = SoundManager::GetInstance()) {
        if (ResourceManager* resources = ResourceManager::GetInstance()) {
            auto* music = dynamic_cast<ResourceStream*>(resources->GetResource("MUSIC_in-game_1", "music"));
            sound->PlayMusic(music != nullptr ? music->GetStream() : nullptr, 0.7f);
        }
    }
    if (!m_Listening) {
        if (MessageHandler* messages = Messages()) {
            messages->AddListener(this);
            m_Listening = true;
        }
    }
    const std::int32_t mode = GameMode::Get();
    const char* background = mode == GameMode::kTimed          ? "BACKGROUND_TIMED"
                             : mode == GameMode::kWordOfTheDay ? "BACKGROUND_WOTD"
                                                               : "BACKGROUND";
    if (ResourceManager* resources = ResourceManager::GetInstance()) {
        if (Image* image = resources->GetImage(background, "gamescene")) {
            SetImage(image);
        }
    }
    if (!HasWords()) {
        // Without its word files the mode cannot be played: say so and go
        // back to the menu instead of dealing from an empty dictionary.
        Platform::ShowMessage("The word files of the game cannot be read, so this mode cannot be played.",
                              "Quorvel");
        QuitToSelection();
        return;
    }
    StartMode();
}

void GameScene::Deactivate()
{
    KeepOwedScore();
    CloseDialogs();
    // A dialog still waiting for the one on screen (a pause asked for behind
    // the end-of-game dialog) belongs to the visit that ends here.
    m_PendingDialog = kNoDialog;
    if (m_Listening) {
        if (MessageHandler* messages = Messages()) {
            messages->RemoveListener(this);
        }
        m_Listening = false;
    }
    m_BallCursor.Set(false);
    Quorvel2Scene::Deactivate();
}

void GameScene::CloseDialogs()
{
    for (const char* name :
         {"CTEXT_MENU_STOP", "DIALOG_MENU", "DIALOG_HIGHSCORES", "DIALOG_CONGRATS", "DIALOG_ENDGAME", "DIALOG_NEXTROUND"}) {
        if (Dialog* dialog = FindDialog(name)) {
            CloseDialog(dialog);
        }
    }
    DropWaitingComments();
    {
        MutexLock lock(m_AchievementLock.get());
        m_AchievementQueue.Clear();
    }
    m_BingoStreak = 0;
    m_WordsSinceMivel = 0;
}

// --- helpers

void GameScene::Play(const char* key)
{
    PlayGameSound(key, "default");
}

std::int32_t GameScene::DayNumber(std::time_t now)
{
    return static_cast<std::int32_t>(static_cast<std::int64_t>(now) / 86400 - kFirstDay);
}

iRoundProfile* GameScene::Profile()
{
    return dynamic_cast<iRoundProfile*>(CurrentPlayer());
}

void GameScene::SetButton(Button* button, bool shown, bool enabled)
{
    if (button != nullptr) {
        button->SetVisible(shown);
        button->SetEnabled(enabled);
    }
}

void GameScene::SetLabel(Label* label, const std::string& text)
{
    if (label != nullptr) {
        label->SetText(UTF8String(text));
    }
}

Dialog* GameScene::OpenDialog(const std::string& key)
{
    DataManager* data = DataManager::GetInstance();
    Dialog* dialog = data != nullptr && data->GetDialogs()->HasChild(key) ? GetDialog(key, std::string()) : nullptr;
    if (dialog == nullptr) {
        Platform::Log("The game data defines no dialog %s\n", key.c_str());
        return nullptr;
    }
    m_LastOpened = key;
    Platform::Log("The game scene opens %s\n", key.c_str());
    ShowDialog(dialog);
    return dialog;
}

void GameScene::After(std::int32_t delay, void (GameScene::*method)())
{
    Modifier* wait = Modifier::AttachTo(new ModifierDelay(delay), GetAnimations());
    Modifier::AttachTo(new ModifierMethod<GameScene>(this, method), wait);
    m_RoundWaits.emplace_back(wait);
}

void GameScene::DropRoundEnd()
{
    // A cancelled wait never runs its method and leaves the animations at
    // the next purge; one that has run already is not harmed.
    for (const SmartPtr<Modifier>& wait : m_RoundWaits) {
        wait->SetCancelled(true);
    }
    m_RoundWaits.clear();
    m_DialogAfterComments = false;
    // Leaving kept the last game's score if it was still owed.
    m_ScoreOwed = false;
    if (m_PendingDialog == kNextRoundDialog || m_PendingDialog == kPassRoundDialog) {
        m_PendingDialog = kNoDialog;
    }
}

bool GameScene::HasSavedGame() const
{
    PlayerManager* players = PlayerManager::GetInstance();
    AbstractPlayer* player = CurrentPlayer();
    return players != nullptr && player != nullptr &&
           players->SaveGameExists(SaveGameName(m_ModeName), PlayerName(player->GetName()));
}

void GameScene::DeleteSavedGame() const
{
    PlayerManager* players = PlayerManager::GetInstance();
    if (AbstractPlayer* player = CurrentPlayer(); players != nullptr && player != nullptr) {
        players->DeleteSaveGame(SaveGameName(m_ModeName), PlayerName(player->GetName()));
    }
}

void GameScene::WriteSavedGame(PropertyNode* game)
{
    PropertyStore store;
    store.AddChild(game);
    PlayerManager* players = PlayerManager::GetInstance();
    AbstractPlayer* player = CurrentPlayer();
    if (players == nullptr || player == nullptr ||
        !players->SaveGame(&store, SaveGameName(m_ModeName), PlayerName(player->GetName()))) {
        Platform::Log("The game %s could not be saved\n", m_ModeName.c_str());
    }
}

bool GameScene::TakeSavedGame(const std::function<bool(PropertyNode& game, std::string& why)>& read)
{
    PlayerManager* players = PlayerManager::GetInstance();
    AbstractPlayer* player = CurrentPlayer();
    if (players == nullptr || player == nullptr) {
        return false;
    }
    const SaveGameName save(m_ModeName);
    const PlayerName name(player->GetName());
    PropertyStore store;
    std::string why = "the file cannot be read";
    const bool loaded = players->LoadGame(&store, save, name) && store.HasChild("GAME");
    const bool used = loaded && read(*store.GetNode("GAME"), why);
    if (!used) {
        Platform::Log("The saved game %s is not used: %s\n", m_ModeName.c_str(), why.c_str());
        players->KeepDamagedSaveGame(save, name);
    }
    DeleteSavedGame();
    return used;
}

void GameScene::RecordDay()
{
    if (iRoundProfile* profile = Profile()) {
        profile->SetWordOfDay(m_DayNumber);
        SavePlayers();
    }
}

// --- button states and labels

void GameScene::RefreshState()
{
    Button* all[] = {m_MenuButton, m_MivelButton, m_EnterButton,   m_LastWordButton, m_ClearButton,
                     m_NextRoundButton, m_GiveUpButton, m_PassButton, m_PassButton2};
    if (m_DialogOpen || m_Busy) {
        for (Button* button : all) {
            if (button != nullptr) {
                button->SetEnabled(false);
            }
        }
        return;
    }
    if (m_MenuButton != nullptr) {
        m_MenuButton->SetEnabled(true);
    }
    const UTF8String typed = m_Rack ? m_Rack->GetAnswerBox()->GetText() : UTF8String();
    const UTF8String left = m_Rack ? m_Rack->GetRackBox()->GetText() : UTF8String();
    const bool solved = m_Rack && m_Rack->solved;
    if (m_MivelButton != nullptr) {
        m_MivelButton->SetEnabled(left.GetLength() > 1);
    }
    if (m_EnterButton != nullptr) {
        m_EnterButton->SetEnabled(!typed.IsEmpty());
    }
    if (m_ClearButton != nullptr) {
        m_ClearButton->SetEnabled(!typed.IsEmpty());
    }
    if (m_LastWordButton != nullptr) {
        m_LastWordButton->SetEnabled(typed.IsEmpty() && m_Rack && !m_Rack->lastWord.IsEmpty());
    }
    if (IsWordOfTheDay()) {
        SetButton(m_PassButton, false, false);
        SetButton(m_PassButton2, false, false);
        SetButton(m_GiveUpButton, !solved, !solved);
        SetButton(m_NextRoundButton, solved, solved);
    } else if (solved) {
        SetButton(m_PassButton, false, false);
        SetButton(m_PassButton2, false, false);
        SetButton(m_GiveUpButton, false, false);
        SetButton(m_NextRoundButton, true, true);
    } else {
        SetButton(m_NextRoundButton, false, false);
        SetButton(m_PassButton2, m_PassCount == 0, m_PassCount == 0);
        SetButton(m_PassButton, m_PassCount == 1, m_PassCount == 1);
        SetButton(m_GiveUpButton, m_PassCount == 2, m_PassCount == 2);
    }
}

void GameScene::ShowClock()
{
    SetLabel(m_TimerMinutesLabel, Decimal(std::max(m_TimeLeft / 60000, 0)));
    char seconds[16];
    std::snprintf(seconds, sizeof seconds, ":%02d", std::max((m_TimeLeft / 1000) % 60, 0));
    SetLabel(m_TimerSecondsLabel, seconds);
    // The digits turn coral for the last seconds, which the ticks count.
    Font* font = ClockRunsOut() ? m_ClockLowFont.Get() : m_ClockFont.Get();
    for (Label* label : {m_TimerMinutesLabel, m_TimerSecondsLabel}) {
        if (label != nullptr && font != nullptr && label->GetFont() != font) {
            label->SetFont(font);
        }
    }
}

bool GameScene::ClockRunsOut() const
{
    return m_TimeLeft < kCountdownStart;
}

void GameScene::RefreshLabels()
{
    RefreshState();
    SetLabel(m_ScoreLabel, Decimal(m_Score));
    SetLabel(m_RoundLabel, Decimal(m_Round));
    ShowClock();
    const bool clockShown = !IsUntimed();
    for (Label* label : {m_TimerMinutesLabel, m_TimerSecondsLabel, m_TimeLabel}) {
        if (label != nullptr) {
            label->SetVisible(clockShown);
        }
    }
    if (!m_Rack) {
        return;
    }
    // The frame closes round the table and its margins: its top edge runs
    // along the window's top, its sides from under the top corners down to
    // the bottom.
    const AnagramTable* table = m_Rack->GetTable();
    const float x = table->GetX() - kMargin;
    const float w = table->GetTableWidth() * table->GetScaleX() + 2.0f * kMargin;
    const float bottom = table->GetY() + table->GetTableHeight() * table->GetScaleY() + kMargin;
    const float sidesTop = m_PanelTop != nullptr ? kFrame : 0.0f;
    if (m_PanelTop != nullptr) {
        m_PanelTop->SetPosition(x, 0.0f);
        m_PanelTop->SetScaleX(w);
    }
    if (m_PanelTopLeft != nullptr) {
        m_PanelTopLeft->SetPosition(x - kFrame, 0.0f);
    }
    if (m_PanelTopRight != nullptr) {
        m_PanelTopRight->SetPosition(x + w, 0.0f);
    }
    if (m_PanelLeft != nullptr) {
        m_PanelLeft->SetPosition(x - kFrame, sidesTop);
        m_PanelLeft->SetScaleY(bottom - sidesTop);
    }
    if (m_PanelLeftCorner != nullptr) {
        m_PanelLeftCorner->SetPosition(x - kFrame, bottom);
    }
    if (m_PanelRight != nullptr) {
        m_PanelRight->SetPosition(x + w, sidesTop);
        m_PanelRight->SetScaleY(bottom - sidesTop);
    }
    if (m_PanelRightCorner != nullptr) {
        m_PanelRightCorner->SetPosition(x + w, bottom);
    }
    if (m_PanelBottom != nullptr) {
        m_PanelBottom->SetPosition(x, bottom);
        m_PanelBottom->SetScaleX(w);
    }
    if (m_PanelBackground != nullptr) {
        m_PanelBackground->SetPosition(x, 0.0f);
        m_PanelBackground->SetScaleX(w / 800.0f);
        m_PanelBackground->SetScaleY(bottom / 195.0f);
    }
}

// --- popups

void GameScene::PushComment(std::int32_t code)
{
    MutexLock lock(m_CommentLock.get());
    for (std::int32_t queued : m_CommentQueue) {
        if (queued == code) {
            return;
        }
    }
    m_CommentQueue.PushBack(code);
}

void GameScene::DropWaitingComments()
{
    MutexLock lock(m_CommentLock.get());
    m_CommentQueue.Clear();
}

bool GameScene::CommentsWaiting() const
{
    MutexLock lock(m_CommentLock.get());
    return !m_CommentQueue.IsEmpty();
}

std::int32_t GameScene::PopComment()
{
    MutexLock lock(m_CommentLock.get());
    if (m_CommentQueue.IsEmpty()) {
        return -1;
    }
    const std::int32_t code = m_CommentQueue[0];
    m_CommentQueue.Erase(m_CommentQueue.begin(), m_CommentQueue.begin() + 1);
    return code;
}

void GameScene::PushAchievement(std::int32_t number)
{
    MutexLock lock(m_AchievementLock.get());
    m_AchievementQueue.PushBack(number);
}

std::int32_t GameScene::PopAchievement()
{
    MutexLock lock(m_AchievementLock.get());
    if (m_AchievementQueue.IsEmpty()) {
        return -1;
    }
    const std::int32_t number = m_AchievementQueue[0];
    m_AchievementQueue.Erase(m_AchievementQueue.begin(), m_AchievementQueue.begin() + 1);
    return number;
}

std::string GameScene::PopupImageKey(std::int32_t code)
{
    if (code == kCommentFirstBingo) {
        return "IMAGE_POPUP_BINGO";
    }
    if (code == kCommentAllWords) {
        return "IMAGE_POPUP_ALLWORDS";
    }
    return "IMAGE_IMAGE_POPUP_" + Decimal(code);
}

void GameScene::ShowPopup(std::int32_t code)
{
    if (code < 0) {
        return;
    }
    ResourceManager* resources = ResourceManager::GetInstance();
    Image* image = resources != nullptr ? resources->GetImage(PopupImageKey(code), "gamescene") : nullptr;
    const PointF place = CommentPlace();
    m_CommentAt = place;
    auto* popup = new Sprite(place.x, place.y, image);
    popup->SetName("COMMENT_POPUP");
    popup->SetAnchor(4);
    popup->SetPosition(place.x, place.y);
    popup->SetScale(0.0f);
    popup->SetAlpha(0.0f);
    AddChild(popup);
    m_CommentShowing = true;
    m_CommentCode = code;
    Platform::Log("The comment pop-up %d shows\n", static_cast<int>(code));
    Modifier* last = Chain(new ModifierAlpha(150, 0.0f, 1.0f), GetAnimations(), popup);
    last = Chain(Scale(250, 0.0f, kCommentPop, &SmoothStepEase), last, popup);
    last = Chain(Scale(100, kCommentPop, 1.0f, nullptr), last, popup);
    if (code == kCommentAllWords || code == kCommentFirstBingo) {
        last = Chain(new ModifierFrame(1, 50), last, popup);
        last = Chain(new ModifierDelay(1000), last, popup);
    } else {
        last = Chain(new ModifierDelay(900), last, popup);
    }
    auto* fade = new ModifierAlpha(250, 1.0f, 0.0f);
    fade->SetOptions(Modifier::kOptionRemoveTarget);
    last = Chain(fade, last, popup);
    Modifier::AttachTo(new ModifierMethod<GameScene>(this, &GameScene::OnCommentDone), last);
}

PointF GameScene::CommentPlace() const
{
    const PointF usual(m_PopupX, m_PopupY);
    const AnagramTable* table = m_Rack ? m_Rack->GetTable() : nullptr;
    if (table == nullptr || !table->IsVisible()) {
        return usual;
    }
    // A table of five rows or more reaches down to the usual place: the
    // pop-up stands below the rack instead, beside the round's button, where
    // it hides neither an answer nor the letters a quick player types next.
    const NodeBounds tiles{table->GetX(), table->GetY(), table->GetX() + table->GetTableWidth() * table->GetScaleX(),
                           table->GetY() + table->GetTableHeight() * table->GetScaleY()};
    if (!Overlap(CommentFootprint(usual), tiles)) {
        return usual;
    }
    return PointF(kLowCommentX, kLowCommentY);
}

namespace {

// The comment's picture round its centre at `place`, at `scale`.
NodeBounds CommentAt(PointF place, float scale)
{
    const float halfWidth = GameScene::kCommentWidth * scale * 0.5f;
    const float halfHeight = GameScene::kCommentHeight * scale * 0.5f;
    return NodeBounds{place.x - halfWidth, place.y - halfHeight, place.x + halfWidth, place.y + halfHeight};
}

}  // namespace

NodeBounds GameScene::CommentFootprint(PointF place)
{
    // The picture as it stands once settled; the pop's brief overshoot may
    // brush what lies next to it.
    return CommentAt(place, 1.0f);
}

NodeBounds GameScene::CommentPopFootprint(PointF place)
{
    return CommentAt(place, kCommentPop);
}

void GameScene::OnCommentDone()
{
    m_CommentShowing = false;
    Platform::Log("The comment pop-up %d has gone\n", static_cast<int>(m_CommentCode));
    if (m_DialogAfterComments) {
        m_DialogAfterComments = false;
        OnBusyDoneNextRound();
    }
}

void GameScene::ShowTrophyPopup(std::int32_t number)
{
    if (number < 0) {
        return;
    }
    Play("SOUND_game_trophy_won");
    ResourceManager* resources = ResourceManager::GetInstance();
    Image* image = resources != nullptr ? resources->GetImage("IMAGE_TROPHY" + Decimal(number), "trophyscene") : nullptr;
    const PointF place = TrophyPlace();
    m_TrophyAt = place;
    auto* trophy = new Sprite(place.x, place.y, image);
    trophy->SetName("TROPHY_POPUP");
    trophy->SetAnchor(AnchorPoint::Center);
    trophy->SetPosition(place.x, place.y);
    trophy->SetAlpha(0.0f);
    trophy->SetScale(0.05f);
    AddChild(trophy);

    Font* font = GameFont("FONT_TROPHYNAMES");
    // The title stands beside the trophy, to its right, in at most two lines
    // that grow from their left edge, so that the pair keeps to its place.
    auto* title = new Label(font, place.x + kTrophyTitleLeft, place.y, kTrophyTitleWidth, kTrophyTitleHeight);
    title->SetName("TROPHY_POPUP_TITLE");
    title->SetAnchor(AnchorPoint::Left);
    title->SetAlignH(Label::kLeft);
    title->SetWrapStyle(Label::kWordWrap);
    if (m_TrophyTitles && number < m_TrophyTitles->GetCount()) {
        if (auto* text = dynamic_cast<PropertyValue*>(m_TrophyTitles->GetItem(number))) {
            title->SetText(UTF8String(text->GetString()));
        }
    }
    title->SetAlpha(0.0f);
    title->SetScale(0.0f);
    AddChild(title);
    m_TrophyShowing = true;
    m_TrophyNumber = number;
    Platform::Log("The trophy pop-up %d shows\n", static_cast<int>(number));

    Modifier* last = Chain(new ModifierAlpha(200, 0.0f, 1.0f), GetAnimations(), trophy);
    last = Chain(Scale(500, 0.05f, kTrophyPop, &SmoothStepEase), last, trophy);
    last = Chain(Scale(300, kTrophyPop, kTrophyScale, nullptr), last, trophy);
    last = Chain(new ModifierDelay(2000), last, trophy);
    auto* fade = new ModifierAlpha(500, 1.0f, 0.0f);
    fade->SetOptions(Modifier::kOptionRemoveTarget);
    last = Chain(fade, last, trophy);
    Modifier::AttachTo(new ModifierMethod<GameScene>(this, &GameScene::OnTrophyDone), last);

    last = Chain(new ModifierAlpha(200, 0.0f, 1.0f), GetAnimations(), title);
    last = Chain(Scale(500, 0.05f, kTrophyTitlePop, &SmoothStepEase), last, title);
    last = Chain(Scale(300, kTrophyTitlePop, 1.0f, nullptr), last, title);
    last = Chain(new ModifierDelay(2000), last, title);
    auto* titleFade = new ModifierAlpha(500, 1.0f, 0.0f);
    titleFade->SetOptions(Modifier::kOptionRemoveTarget);
    Chain(titleFade, last, title);
}

PointF GameScene::TrophyPlace() const
{
    return PointF(m_TrophyX, m_TrophyY);
}

NodeBounds GameScene::TrophyFootprint(PointF place)
{
    const float half = kTrophySize * kTrophyPop * 0.5f;
    const float titleTop = place.y - kTrophyTitleHeight * kTrophyTitlePop * 0.5f;
    return NodeBounds{place.x - half, std::min(place.y - half, titleTop),
                      place.x + kTrophyTitleLeft + kTrophyTitleWidth * kTrophyTitlePop,
                      std::max(place.y + half, place.y + kTrophyTitleHeight * kTrophyTitlePop * 0.5f)};
}

void GameScene::OnTrophyDone()
{
    m_TrophyShowing = false;
    Platform::Log("The trophy pop-up %d has gone\n", static_cast<int>(m_TrophyNumber));
}

// --- window messages and the mouse

bool GameScene::OnMouseMove(MouseMessageData* data)
{
    if (data == nullptr) {
        return false;
    }
    if (m_Rack) {
        for (const SmartPtr<LetterBall>& ball : m_Rack->GetBalls()) {
            if (ball->HitTest(data->x, data->y)) {
                m_BallCursor.Set(true);
                return true;
            }
        }
    }
    if (!(m_Rack && m_Rack->GetTable()->OpenDefinition(data->x, data->y, false))) {
        m_BallCursor.Set(false);
    }
    return false;
}

void GameScene::OnMessage(const Message& message)
{
    switch (message.GetId()) {
    case Message::kQuit:
        SaveGameInProgress();
        break;
    case Message::kActivationChanged: {
        auto* active = MessageDataAs<TemplateMessageData<bool>>(message.GetData());
        if (active != nullptr && !active->m_Value && FindDialog("DIALOG_MENU") == nullptr) {
            m_PendingDialog = kMenuPause;
        }
        break;
    }
    case Message::kCtrlP:
        m_PendingDialog = kMenuPause;
        break;
    case Message::kFrameClick:
        OnTitleBarClick();
        break;
    default:
        break;
    }
}

void GameScene::OnTitleBarClick()
{
    if (Renderer* renderer = Renderer::GetInstance()) {
        Color colour(1.0f, 10.0f / 255.0f, 79.0f / 255.0f, 203.0f / 255.0f);
        renderer->Clear(colour);
        renderer->Present();
    }
}

// --- what the dialogs call

void GameScene::SaveAndQuit(Dialog*, BaseObject*)
{
    SaveGameInProgress();
    QuitToSelection();
}

void GameScene::SaveGameInProgress()
{
    KeepOwedScore();
    if (!m_Rack) {
        return;
    }
    if (m_GameState == kPlaying) {
        SaveRound();
        return;
    }
    // A round that is over while its game goes on (won, or passed with
    // passes left) would otherwise leave nothing to come back to: the game
    // is kept as the start of its next round, score and passes carried.
    const bool goesOn =
        !IsWordOfTheDay() && (m_GameState == kWon || (m_GameState == kLost && m_PassCount < kPassesPerGame));
    if (goesOn) {
        NextRound();
        SaveRound();
    }
}

void GameScene::Refresh(Dialog*, BaseObject*)
{
    m_DialogOpen = false;
    RefreshState();
}

void GameScene::NewRound()
{
    StartRound(1, nullptr);
}

bool GameScene::OpenDefinition(float, float)
{
    return false;
}

void GameScene::QuitToSelection()
{
    if (ResourceManager* resources = ResourceManager::GetInstance()) {
        resources->LoadSection("sceneselection");
    }
    SceneManager* scenes = SceneManager::GetInstance();
    Scene* menu = scenes != nullptr ? scenes->FindScene("SCENE_SELECTION") : nullptr;
    if (menu == nullptr) {
        Platform::Log("The game has no scene SCENE_SELECTION\n");
        return;
    }
    scenes->StartTransition("TRANSITION_DEFAULT");
    scenes->RequestScene(menu);
}

void GameScene::ShowHighScores()
{
    SceneManager* scenes = SceneManager::GetInstance();
    Scene* current = scenes != nullptr && scenes->GetCurrentScene() != nullptr ? scenes->GetCurrentScene() : this;
    DataManager* data = DataManager::GetInstance();
    if (data == nullptr || !data->GetDialogs()->HasChild("DIALOG_HIGHSCORES")) {
        Platform::Log("The game data defines no dialog DIALOG_HIGHSCORES\n");
        return;
    }
    if (Dialog* scores = current->GetDialog("DIALOG_HIGHSCORES", std::string())) {
        m_LastOpened = "DIALOG_HIGHSCORES";
        current->ShowDialog(scores);
    }
}

// --- dealing

void GameScene::StartMode()
{
    const std::int32_t mode = GameMode::Get();
    m_ModeName = mode == GameMode::kTimed ? "CLASSIC_TIMED" : mode == GameMode::kWordOfTheDay ? "WORD_OF_THE_DAY"
                                                                                             : "CLASSIC_UNTIMED";
    RestoreOrDeal();
}

void GameScene::OfferTutorial(std::int32_t mode)
{
    iRoundProfile* profile = Profile();
    if (profile != nullptr && !profile->IsTutorialSeen(mode)) {
        m_PendingDialog = kTutorialDialog;
    }
    if (profile != nullptr) {
        profile->SetTutorialSeen(mode, true);
    }
}

void GameScene::RestoreOrDeal()
{
    if (HasSavedGame()) {
        LoadRound();
    } else {
        StartRound(1, nullptr);
    }
    m_DialogOpen = false;
    RefreshState();
}

UTF8String GameScene::ChooseSourceWord(std::int32_t target, const std::function<UTF8String()>& draw)
{
    std::int32_t tries = kSourceTries;
    UTF8String best;
    UTF8String last;
    for (std::int32_t draws = 0; draws < kMaxSourceDraws; ++draws) {
        const UTF8String candidate = draw();
        const std::int32_t n = candidate.GetLength();
        last = candidate;
        if (n > target) {
            continue;
        }
        if (n == target) {
            return candidate;
        }
        if (best.IsEmpty() || std::abs(n - target) < std::abs(best.GetLength() - target)) {
            best = candidate;
        }
        if (--tries == 0) {
            return best;
        }
    }
    // Only longer words came: the last of them serves rather than no round.
    return best.IsEmpty() ? last : best;
}

void GameScene::CapWordOfTheDayList(AnagramTable::WordList& list)
{
    constexpr std::int32_t kQuota = 5;
    std::int32_t used[AnagramTable::kMaxWordLength + 1] = {};
    AnagramTable::WordList kept;
    for (const std::string& word : list) {
        const auto length = static_cast<std::int32_t>(word.size());
        if (length >= AnagramTable::kMinWordLength && length <= AnagramTable::kMaxWordLength &&
            used[length] < kQuota) {
            ++used[length];
            kept.PushBack(word);
        }
    }
    list = kept;
}

void GameScene::StartRound(std::int32_t round, const UTF8String* word)
{
    m_DialogOpen = false;
    m_Busy = false;
    m_GameState = kPlaying;
    DropRoundEnd();
    m_DayNumber = DayNumber(std::time(nullptr));
    const std::int32_t mode = GameMode::Get();
    iRoundProfile* profile = Profile();
    OfferTutorial(mode);
    m_Rack.reset();
    DropWaitingComments();
    if (m_PassButton == nullptr) {
        m_PassButton = FindTyped<Button>(*this, "BUTTON_Pass");
        m_PassButton2 = FindTyped<Button>(*this, "BUTTON_Pass_2");
        m_NextRoundButtonNormal = m_NextRoundButton;
        m_WotdDoneButton = FindTyped<Button>(*this, "BUTTON_WOTD_DONE");
    }
    if (IsWordOfTheDay()) {
        SetButton(m_NextRoundButtonNormal, false, false);
        SetButton(m_WotdDoneButton, true, true);
        m_NextRoundButton = m_WotdDoneButton;
    } else {
        SetButton(m_WotdDoneButton, false, false);
        SetButton(m_NextRoundButtonNormal, true, true);
        m_NextRoundButton = m_NextRoundButtonNormal;
    }
    m_Round = round;
    m_TimeLeft = kRoundTime;
    m_CountdownMark = kCountdownStart;
    if (round == 1) {
        m_Score = 0;
        m_PassCount = 0;
        m_BingoStreak = 0;
        m_WordsSinceMivel = 0;
    }
    m_MivelUsed = false;
    m_WordRejected = false;

    // With QMV_RANDOM_SEED set every round starts its draws (the word's
    // length, the shuffles) from that seed, however long the menu ran before,
    // so that a test replays the same round.
    if (const char* fixed = std::getenv("QMV_RANDOM_SEED"); fixed != nullptr && *fixed != '\0') {
        const long long seed = std::strtoll(fixed, nullptr, 10) + round;
        if (Random* random = Random::GetInstance()) {
            random->Seed(seed);
        }
        std::srand(static_cast<unsigned>(seed));
    }
    auto* pool = dynamic_cast<iWordPoolPosition*>(CurrentPlayer());
    m_WordTree->SetPoolPosition(pool != nullptr ? pool : &m_SparePool);
    UTF8String source;
    if (word != nullptr) {
        source = *word;
    } else if (IsWordOfTheDay()) {
        source = m_WordTree->WordOfTheDay();
    } else {
        Random* random = Random::GetInstance();
        std::int32_t target = random != nullptr ? random->Range(5, 9) : 6;
        if (profile != nullptr && profile->GetMaxLength() < target) {
            target = profile->GetMaxLength();
        }
        source = ChooseSourceWord(target, [this] { return m_WordTree->RandomWord(); });
    }
    // A restored round is dealt as round 1 and takes its number afterwards;
    // LoadRound logs it then, so the log never names the wrong round.
    if (word == nullptr) {
        LogRound(source);
    }
    SavePlayers();

    std::unique_ptr<AnagramTable::WordList> answers = m_WordTree->FindAnagrams(source);
    std::unique_ptr<AnagramTable::WordList> accepted = m_SecondWordTree->FindAnagrams(source);
    if (answers && IsWordOfTheDay()) {
        CapWordOfTheDayList(*answers);
    }
    m_Rack = std::make_unique<ClassicRack>(this, source, answers.get(), accepted.get(), 0, false, word != nullptr);
    if (m_RackPanel != nullptr) {
        m_Rack->FitTable(m_RackPanel->GetY() - kFrameAboveRackPanel);
    }
    m_Rack->solved = false;
    m_Rack->GetRackBox()->Mivel(source, false);
    m_Rack->GetRackBox()->PlayLoadAnimation(true);
    // Each ball shows its letter once it has rolled in.
    for (const SmartPtr<LetterBall>& ball : m_Rack->GetBalls()) {
        ball->AddModifier(new ModifierMethod<LetterBall>(ball.Get(), &LetterBall::ShowOverlay));
    }
    RefreshLabels();
}

void GameScene::NextRound()
{
    m_Busy = false;
    if (m_Rack) {
        m_Rack->FinishMoves();
    }
    if (m_GameState == kWon) {
        if (iRoundProfile* profile = Profile()) {
            if (IsTimed()) {
                PushAchievement(profile->CountGamePlayed(GameMode::kTimed));
            } else if (IsUntimed()) {
                PushAchievement(profile->CountGamePlayed(GameMode::kUntimed));
            }
        }
    }
    StartRound(m_Round + 1, nullptr);
}

void GameScene::OnButton(const UTF8String& command, BaseObject*)
{
    const std::string& name = command.GetString();
    if (name == "BUTTON_Menu") {
        m_PendingDialog = kMenuButton;
    } else if (name == "BUTTON_NextRound") {
        OnNextRoundButton();
    } else if (name == "BUTTON_GiveUp" || name == "BUTTON_Pass") {
        m_PendingDialog = kPassQuestion;
    }
    if (!TakesPlayCommands()) {
        return;
    }
    if (name == "BUTTON_Clear") {
        ClearLetters();
    } else if (name == "BUTTON_Enter") {
        SubmitWord();
    } else if (name == "BUTTON_LastWord") {
        LastWord();
    } else if (name == "BUTTON_Mivel") {
        Mivel();
    } else {
        OnPlayCommand(name);
    }
}

void GameScene::OnNextRoundButton()
{
    RoundWon(3000);
}

bool GameScene::TakesPlayCommands() const
{
    return m_GameState == kPlaying;
}

void GameScene::OnPlayCommand(const std::string&) {}

ClassicRack* GameScene::RackInPlay() const
{
    return m_Rack.get();
}

LetterBox* GameScene::TypedWordBox() const
{
    ClassicRack* rack = RackInPlay();
    return rack != nullptr ? rack->GetAnswerBox() : nullptr;
}

bool GameScene::HasTypedLetters() const
{
    const LetterBox* typed = TypedWordBox();
    return typed != nullptr && !typed->GetText().IsEmpty();
}

bool GameScene::OnMoveKey(std::int32_t)
{
    return false;
}

// --- typing and scoring

bool GameScene::TakesKeys() const
{
    return m_GameState == kPlaying && TypedWordBox() != nullptr && !m_DialogOpen && !m_Busy;
}

bool GameScene::OnKeyDown(KeyboardMessageData* data)
{
    if (data == nullptr || !TakesKeys()) {
        return false;
    }
    if (OnMoveKey(data->m_KeyCode)) {
        return false;
    }
    switch (data->m_KeyCode) {
    case kKeyBackspace:
        RemoveLetter();
        break;
    case kKeyDelete:
        ClearLetters();
        break;
    case kKeyEnter:
        if (HasTypedLetters()) {
            SubmitWord();
        } else {
            LastWord();
        }
        break;
    case kKeySpace:
        Mivel();
        break;
    default:
        if (data->m_HasText) {
            PlaceLetter(UTF8String(data->m_Text));
        }
        break;
    }
    return false;
}

void GameScene::PlaceLetter(const UTF8String& letter)
{
    ClassicRack* rack = RackInPlay();
    if (rack != nullptr && !letter.IsEmpty()) {
        Utf8Iterator it(letter);
        if (LetterBall* ball = rack->GetRackBox()->TakeBall(it.codePoint)) {
            Play("SOUND_letter_place");
            rack->GetAnswerBox()->PlaceBall(ball, true, -1, 1.0f);
        }
    }
    RefreshState();
}

void GameScene::RemoveLetter()
{
    Play("SOUND_letter_clear");
    if (m_Rack) {
        if (LetterBall* ball = m_Rack->GetAnswerBox()->TakeLastBall(false)) {
            m_Rack->GetRackBox()->PlaceBall(ball, true, -1, 1.0f);
        }
    }
    RefreshState();
}

void GameScene::ClearLetters()
{
    Play("SOUND_letter_clear");
    if (ClassicRack* rack = RackInPlay()) {
        LetterBox* typed = rack->GetAnswerBox();
        for (std::int32_t slot = 0; slot < typed->GetSlotCount(); ++slot) {
            if (LetterBall* ball = typed->TakeLastBall(false)) {
                rack->GetRackBox()->PlaceBall(ball, true, -1, 1.0f);
            }
        }
    }
    RefreshState();
}

void GameScene::LastWord()
{
    // The word comes back with its own sound, not a letter's sound for each ball,
    // which would start them all in one frame.
    Play("SOUND_word_last");
    if (ClassicRack* rack = RackInPlay()) {
        const UTF8String word = rack->lastWord;
        for (Utf8Iterator it(word); it.codePoint != 0; Utf8Advance(it, 1)) {
            if (LetterBall* ball = rack->GetRackBox()->TakeBall(it.codePoint)) {
                rack->GetAnswerBox()->PlaceBall(ball, true, -1, 1.0f);
            }
        }
    }
    RefreshState();
}

void GameScene::Mivel()
{
    Play("SOUND_word_mivel");
    m_MivelUsed = true;
    if (m_Rack) {
        m_Rack->GetRackBox()->Mivel(m_Rack->GetSourceWord(), true);
    }
    m_WordsSinceMivel = 0;
    if (iRoundProfile* profile = Profile()) {
        PushAchievement(profile->CountMivel());
    }
}

bool GameScene::OnLeftButtonDown(MouseMessageData* data)
{
    if (data == nullptr || !m_Rack) {
        return Quorvel2Scene::OnLeftButtonDown(data);
    }
    if (m_Rack->GetTable()->OpenDefinition(data->x, data->y, true) || m_GameState != kPlaying) {
        return true;
    }
    ClickBall(*m_Rack, data->x, data->y);
    return false;
}

void GameScene::ClickBall(ClassicRack& rack, float x, float y)
{
    LetterBox* letters = rack.GetRackBox();
    LetterBox* typed = rack.GetAnswerBox();
    for (std::int32_t slot = 0; slot < letters->GetSlotCount(); ++slot) {
        LetterBall* ball = letters->GetBall(slot);
        if (ball != nullptr && ball->HitTest(x, y)) {
            letters->TakeBallAt(slot);
            typed->PlaceBall(ball, true, -1, 1.0f);
            Play("SOUND_letter_place");
            RefreshState();
            return;
        }
    }
    const std::int32_t count = typed->GetText().GetLength();
    LetterBall* last = count > 0 ? typed->GetBall(count - 1) : nullptr;
    if (last != nullptr && last->HitTest(x, y)) {
        if (LetterBall* ball = typed->TakeLastBall(false)) {
            letters->PlaceBall(ball, true, -1, 1.0f);
        }
        Play("SOUND_letter_clear");
        RefreshState();
    }
}

void GameScene::OnLetterBoxClick(LetterBox*, MouseMessageData* click)
{
    if (!m_DialogOpen && !m_Busy) {
        OnLeftButtonDown(click);
    }
}

void GameScene::SubmitWord()
{
    if (!m_Rack) {
        return;
    }
    const UTF8String word = m_Rack->GetAnswerBox()->GetText();
    m_Rack->lastWord = word;
    AnagramTable* table = m_Rack->GetTable();
    bool hard = false;
    const std::int32_t result = table->Guess(word, hard);
    iRoundProfile* profile = Profile();
    if (result == AnagramTable::kPlaced) {
        Platform::Log("Round %d of %s: %s found\n", static_cast<int>(m_Round), m_ModeName.c_str(),
                      word.GetString().c_str());
        ++m_WordsSinceMivel;
        if (profile != nullptr) {
            PushAchievement(profile->CheckWordsFoundAchievement(m_WordsSinceMivel));
            PushAchievement(profile->CountSolved());
            if (hard) {
                PushAchievement(profile->CountHardSolved());
            }
        }
        const std::int32_t n = word.GetLength();
        m_Score += 10 * n * n;
        bool firstBingo = false;
        const bool fullLength = n == m_Rack->GetSourceWord().GetLength();
        if (fullLength) {
            ++m_BingoStreak;
            if (profile != nullptr) {
                PushAchievement(profile->CheckStreakAchievement(m_BingoStreak));
            }
            if (!m_Rack->solved) {
                m_Score += kBingoBonus;
                firstBingo = true;
            }
            m_Rack->solved = true;
        } else {
            m_BingoStreak = 0;
        }
        const std::int32_t answers = static_cast<std::int32_t>(table->GetSlots().size());
        if (table->GetFoundCount() == answers) {
            m_Score += kAllWordsBonusPerSlot * answers;
            if (!m_MivelUsed && profile != nullptr) {
                if (profile->GetAchievement(kAchievementNoShuffle) == 0) {
                    profile->SetAchievement(kAchievementNoShuffle, 1);
                    PushAchievement(kAchievementNoShuffle);
                } else {
                    PushAchievement(-1);
                }
            }
            RoundWon(1000);
            Play("SOUND_game_all_words_submitted");
            // What else waited to be said is old news once the table is full,
            // and the round's dialog waits for what is said.
            DropWaitingComments();
            PushComment(kCommentAllWords);
        } else {
            if (fullLength) {
                Play("SOUND_word_bingo");
                if (firstBingo) {
                    PushComment(IsWordOfTheDay() ? kCommentWordOfTheDayBingo : kCommentFirstBingo);
                }
            } else {
                Play("SOUND_word_correct");
            }
            if (!firstBingo && !m_FirstWordCommented) {
                PushComment(kCommentFirstWord);
                m_FirstWordCommented = true;
            }
        }
        SetLabel(m_ScoreLabel, Decimal(m_Score));
    } else if (result == AnagramTable::kNoFreeSlot) {
        PushComment(table->HasSlotOfLength(word.GetLength()) ? kCommentNoFreeSlot : kCommentNoSlotOfLength);
    } else if (result == AnagramTable::kFoundBefore) {
        Play("SOUND_word_reject");
        PushComment(kCommentFoundBefore);
    } else {
        Play("SOUND_word_reject");
        m_WordRejected = true;
        PushComment(kCommentNoWord);
    }
    ClearLetters();
    RefreshState();
}

// --- the clock, passes and the end of a round

void GameScene::Update(std::int32_t dt)
{
    Quorvel2Scene::Update(dt);
    if (m_PendingDialog != kNoDialog) {
        if (m_DialogOpen) {
            RefreshState();
        } else {
            m_DialogOpen = true;
            const std::int32_t pending = m_PendingDialog;
            m_PendingDialog = kNoDialog;
            Dialog* opened = nullptr;
            switch (pending) {
            case kMenuButton:
            case kMenuPause:
                opened = OpenDialog("DIALOG_MENU");
                if (opened != nullptr) {
                    OnMenuOpened();
                }
                break;
            case kNextRoundDialog:
                m_GameState = kWon;
                if (!IsWordOfTheDay()) {
                    Play("SOUND_game_next_round_acheived");
                    opened = OpenDialog("DIALOG_NEXTROUND");
                    if (opened == nullptr) {
                        // Without the dialog the game goes straight on.
                        OnNextRoundConfirmed();
                        return;
                    }
                    // Each mode says what the player did to win its round.
                    if (auto* body = FindTyped<Label>(*opened, "BODY_TEXT")) {
                        if (BasicProperties* texts = BasicProperties::GetInstance()) {
                            body->SetText(UTF8String(texts->GetString(NextRoundBodyKey())));
                        }
                    }
                } else {
                    if (iRoundProfile* profile = Profile()) {
                        PushAchievement(profile->CountGamePlayed(GameMode::kWordOfTheDay));
                    }
                    FinishDay();
                    EndGameSequence(false);
                    opened = this;
                }
                break;
            case kPassQuestion: {
                const bool pass = OffersPass();
                const char* header = pass ? "TEXT_DIALOG_PASS_HEADER" : "TEXT_DIALOG_GIVEUP_HEADER";
                // The question tells how many passes the game has left.
                const char* text = !pass ? kGiveUpText : m_PassCount == 0 ? kPassText : kLastPassText;
                if (iRoundFrontEnd* frontEnd = iRoundFrontEnd::Get()) {
                    opened = frontEnd->AskQuestion(this, text, header, this, &QuestionYes, &QuestionNo);
                }
                if (opened != nullptr) {
                    m_LastOpened = text;
                }
                break;
            }
            case kTutorialDialog:
                opened = OpenDialog("DIALOG_TUTORIAL");
                break;
            case kPassRoundDialog:
                opened = OpenDialog("DIALOG_PASSROUND");
                if (opened == nullptr) {
                    OnNextRoundConfirmed();
                    return;
                }
                break;
            default:
                break;
            }
            if (opened == nullptr) {
                // Nothing came up that could close again: play on.
                m_DialogOpen = false;
            }
            RefreshState();
        }
    }
    if (m_DialogOpen) {
        return;
    }
    ShowWaitingPopups();
    if (m_DialogOpen || m_Busy || m_GameState != kPlaying) {
        return;
    }
    RunClock(ClockRate::Step(dt));
}

const char* GameScene::NextRoundBodyKey() const
{
    return "TEXT_NEXT_ROUND_BODY";
}

bool GameScene::OffersPass() const
{
    return !IsWordOfTheDay() && m_PassCount + 1 < kPassesPerGame;
}

void GameScene::OnMenuOpened() {}

void GameScene::RunClock(std::int32_t dt)
{
    if (!m_Rack) {
        return;
    }
    m_TimeLeft -= dt;
    if (!IsTimed() && !IsWordOfTheDay()) {
        return;
    }
    if (m_TimeLeft < m_CountdownMark) {
        m_CountdownMark -= 1000;
        Play("SOUND_game_clock_countdown");
    }
    ShowClock();
    if (m_TimeLeft <= 0) {
        Play("SOUND_game_clock_timeup");
        if (m_Rack->solved) {
            RoundWon(3000);
        } else if (IsTimed()) {
            Pass(true);
        } else {
            // The day's round is lost: like a give-up it leaves no save
            // behind when the player goes back to the menu.
            m_GameState = kLost;
            m_DialogOpen = true;
            FinishDay();
            EndGameSequence(true);
        }
    }
}

void GameScene::ShowWaitingPopups()
{
    bool achievements = false;
    {
        MutexLock lock(m_AchievementLock.get());
        achievements = !m_AchievementQueue.IsEmpty();
    }
    if (achievements && !m_TrophyShowing) {
        ShowTrophyPopup(PopAchievement());
    }
    if (CommentsWaiting() && !m_CommentShowing) {
        ShowPopup(PopComment());
    }
}

void GameScene::RoundWon(std::int32_t delay)
{
    m_Busy = true;
    m_GameState = kWon;
    if (m_TimeLeft >= kQuickWinTimeLeft && m_TimeLeft <= kRoundTime) {
        iRoundProfile* profile = Profile();
        if (profile != nullptr && profile->GetAchievement(kAchievementQuickWin) == 0) {
            profile->SetAchievement(kAchievementQuickWin, 1);
            PushAchievement(kAchievementQuickWin);
        } else {
            PushAchievement(-1);
        }
    }
    if (m_Rack) {
        m_Rack->GetTable()->RevealAll();
    }
    Play("SOUND_word_pass_reveal");
    After(delay, &GameScene::OnBusyDoneNextRound);
    if (m_NextRoundButton != nullptr) {
        m_NextRoundButton->SetEnabled(false);
    }
    RefreshState();
}

void GameScene::OnBusyDoneNextRound()
{
    // The dialog would come over a word-result pop-up still on screen or
    // waiting its turn: the last word's "All words found!" runs two seconds
    // where the end of the round waits one. It comes once that has gone.
    if (m_CommentShowing || CommentsWaiting()) {
        m_DialogAfterComments = true;
        return;
    }
    m_Busy = false;
    m_PendingDialog = kNextRoundDialog;
}

void GameScene::OnBusyDonePassRound()
{
    m_Busy = false;
    m_PendingDialog = kPassRoundDialog;
}

void GameScene::OnPassQuestionYes()
{
    for (const char* name : {kGiveUpText, kPassText, kLastPassText}) {
        if (Dialog* question = FindDialog(name)) {
            CloseDialog(question);
        }
    }
    PassOrGiveUp();
}

void GameScene::OnPassQuestionNo()
{
    for (const char* name : {kGiveUpText, kPassText, kLastPassText}) {
        if (Dialog* question = FindDialog(name)) {
            CloseDialog(question);
        }
    }
    m_DialogOpen = false;
    RefreshState();
}

void GameScene::PassOrGiveUp()
{
    if (!IsWordOfTheDay()) {
        Pass(false);
        return;
    }
    m_GameState = kLost;
    DeleteSavedGame();
    RecordDay();
    EndGameSequence(true);
}

void GameScene::Pass(bool endOfTime)
{
    ++m_PassCount;
    m_GameState = kLost;
    Play("SOUND_game_lose_life");
    if (m_PassCount < kPassesPerGame) {
        m_Busy = true;
        if (m_Rack) {
            m_Rack->GetTable()->RevealAll();
        }
        Play("SOUND_word_pass_reveal");
        if (endOfTime) {
            After(3000, &GameScene::OnBusyDonePassRound);
        } else {
            After(3000, &GameScene::NextRound);
        }
    } else {
        m_DialogOpen = true;
        DeleteSavedGame();
        if (IsWordOfTheDay()) {
            RecordDay();
        }
        EndGameSequence(true);
    }
    RefreshState();
}

void GameScene::FinishDay()
{
    DeleteSavedGame();
    if (IsWordOfTheDay()) {
        RecordDay();
    }
}

void GameScene::EndGameSequence(bool reveal)
{
    if (reveal) {
        if (m_Rack) {
            m_Rack->GetTable()->RevealAll();
        }
        Play("SOUND_word_pass_reveal");
    }
    m_ScoreOwed = true;
    // A reveal is given time to be read; without one (the day's word found,
    // its round already shown whole and its pop-ups gone) the end comes at
    // once.
    After(reveal ? 3000 : 0, &GameScene::EndRound);
}

void GameScene::KeepOwedScore()
{
    if (!m_ScoreOwed) {
        return;
    }
    m_ScoreOwed = false;
    DeleteSavedGame();
    EnterFinalScore(false);
}

bool GameScene::OfferOwedScore()
{
    return std::exchange(m_ScoreOwed, false) && EnterFinalScore(true);
}

bool GameScene::EnterHighScore(const std::string& tableName, bool create, std::int32_t mode, std::int32_t time,
                               const std::string& extra, bool congratulate)
{
    AbstractPlayer* player = CurrentPlayer();
    HighScoreManager* scores = HighScoreManager::GetInstance();
    iRoundFrontEnd* frontEnd = iRoundFrontEnd::Get();
    if (m_Score <= 0 || player == nullptr || scores == nullptr || frontEnd == nullptr) {
        return false;
    }
    HighScoreTable* table = scores->FindTable(tableName);
    if (table == nullptr && create) {
        table = new HighScoreTable();
        table->SetDescending(true);
        table->SetLastScore(-1);
        table->SetMaxEntries(10);
        scores->GetTables()[tableName] = table;
    }
    if (table == nullptr) {
        return false;
    }
    SmartPtr<HighScoreEntry> entry(frontEnd->MakeScoreEntry(player->GetName(), m_Score, mode, time, extra));
    if (!entry || table->AddEntry(entry.Get()) < 0) {
        return false;
    }
    if (!congratulate) {
        scores->Save();
        return true;
    }
    Play("SOUND_game_high_score_achieved");
    return OpenDialog("DIALOG_CONGRATS") != nullptr;
}

bool GameScene::EnterFinalScore(bool congratulate)
{
    std::string tableName = "untimed";
    std::int32_t mode = 1;
    std::string extra = Decimal(m_Round);
    if (IsWordOfTheDay()) {
        tableName = "wotd";
        mode = 0;
        // The day the round was played, as the player's calendar reads it.
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        char date[40];
        std::snprintf(date, sizeof date, "%04d-%02d-%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
        extra = date;
    } else if (IsTimed()) {
        tableName = "timed";
        mode = 0;
    }
    return EnterHighScore(tableName, true, mode, m_TimeLeft, extra, congratulate);
}

void GameScene::EndRound()
{
    m_DialogOpen = true;
    if (OfferOwedScore()) {
        return;
    }
    Dialog* opened = nullptr;
    if (!IsWordOfTheDay()) {
        opened = OpenDialog("DIALOG_ENDGAME");
    } else if (m_Rack && m_Rack->solved) {
        Play("SOUND_game_next_round_acheived");
        opened = OpenDialog("DIALOG_NEXTROUND");
    } else {
        opened = OpenDialog("DIALOG_ENDGAME");
    }
    if (opened != nullptr && IsWordOfTheDay()) {
        if (iRoundFrontEnd* form = iRoundFrontEnd::Get()) {
            form->SetWordOfTheDayForm(opened);
        }
    }
}

void GameScene::OnNextRoundConfirmed()
{
    if (Dialog* dialog = FindDialog("DIALOG_NEXTROUND")) {
        CloseDialog(dialog);
    }
    m_DialogOpen = false;
    RefreshState();
    NextRound();
}

// --- saving

void GameScene::SaveRound()
{
    PlayerManager* players = PlayerManager::GetInstance();
    AbstractPlayer* player = CurrentPlayer();
    if (players == nullptr || player == nullptr || !m_Rack) {
        return;
    }
    players->SavePlayers();
    ClassicRoundSave save;
    save.word = m_Rack->GetSourceWord();
    save.round = m_Round;
    save.timeLeft = m_TimeLeft;
    save.longestWord = m_Rack->solved;
    save.score = m_Score;
    save.day = m_DayNumber;
    save.passCount = m_PassCount;
    save.foundWords = m_Rack->GetTable()->Save();
    WriteSavedGame(save.ToNode());
}

void GameScene::LoadRound()
{
    ClassicRoundSave save;
    if (!TakeSavedGame([&](PropertyNode& game, std::string& why) {
            return ClassicRoundSave::Read(game, *m_WordTree, IsUntimed(), save, why);
        })) {
        StartRound(1, nullptr);
        return;
    }
    if (IsWordOfTheDay() && save.day != DayNumber(std::time(nullptr))) {
        Platform::Log("The saved game %s is of another day and is not used\n", m_ModeName.c_str());
        StartRound(1, nullptr);
        return;
    }
    Platform::Log("The saved game %s is restored\n", m_ModeName.c_str());
    StartRound(1, &save.word);
    m_Round = save.round;
    m_TimeLeft = save.timeLeft;
    m_Rack->solved = save.longestWord;
    m_Score = save.score;
    m_DayNumber = save.day;
    m_PassCount = save.passCount;
    m_CountdownMark = save.CountdownMark();
    // The table places the words; the round counts them as found, so the
    // all-words bonus, the win and the achievement still come.
    AnagramTable* table = m_Rack->GetTable();
    table->SetFoundCount(table->GetFoundCount() + table->Load(save.foundWords.Get()));
    RefreshLabels();
    LogRound(save.word);
}

void GameScene::LogRound(const UTF8String& source) const
{
    Platform::Log("Round %d of %s: the source word is %s\n", static_cast<int>(m_Round), m_ModeName.c_str(),
                  source.GetString().c_str());
}
