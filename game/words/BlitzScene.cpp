#include "game/words/BlitzScene.h"

#include <algorithm>
#include <cmath>

#include "framework/core/app/Message.h"
#include "framework/core/app/MessageData.h"
#include "framework/core/data/AbstractPlayer.h"
#include "framework/core/data/PlayerManager.h"
#include "framework/core/files/ResourceManager.h"
#include "framework/core/properties/BasicProperties.h"
#include "framework/core/properties/PropertyStore.h"
#include "framework/core/util/Platform.h"
#include "framework/core/util/Random.h"
#include "framework/graphics/render/Renderer.h"
#include "framework/scene/Button.h"
#include "framework/scene/Label.h"
#include "framework/scene/ModifierAlpha.h"
#include "framework/scene/ModifierClipRect.h"
#include "framework/scene/ModifierDelay.h"
#include "framework/scene/ModifierLocationLine.h"
#include "framework/scene/ModifierMethod.h"
#include "framework/scene/ModifierScale.h"
#include "framework/scene/Sprite.h"
#include "game/words/BlitzRules.h"
#include "game/words/BlitzSave.h"
#include "game/words/ClassicRack.h"
#include "game/words/GameMode.h"
#include "game/words/GameSceneSupport.h"
#include "game/words/LetterBall.h"
#include "game/words/WordTree.h"
#include "game/words/iRoundFrontEnd.h"
#include "game/words/iRoundProfile.h"

using namespace Qmv2;
using namespace GameSceneSupport;

namespace {

constexpr const char* kBlitzSaveName = "BLITZ";
constexpr float kLargeCentre = 493.0f;
constexpr float kLargeLettersTop = 280.0f;
constexpr float kTypedTop = 212.0f;
// The column's frame stands this far off the window's left edge, its
// corners rounded all round as the other frames' are; its inside begins a
// side's width further in.
constexpr float kFrameMargin = 12.0f;
constexpr float kFrameSide = 10.0f;
constexpr float kColumnInset = kFrameMargin + kFrameSide;
constexpr float kFrameAir = 4.0f;
constexpr float kColumnLeft = kColumnInset + 10.0f;
constexpr float kMarkLeft = 207.0f;
constexpr float kMarkGap = 10.0f;
// The play buttons under the word in the middle begin a little right of
// this x; the column, its frame and the marks beside it end before it.
constexpr float kPlayLeft = 236.0f;
// The least air between a large word and the marks or the window's edge.
constexpr float kLargeAir = 6.0f;
constexpr float kWindowRight = 800.0f;
// The timer bar's frame for the clock's last seconds, which turn coral
// when the ticks begin, as the classic clock does.
constexpr std::int32_t kTimerLowFrame = 2;
static_assert(BlitzRules::kCountdownStart == GameScene::kCountdownStart);

float Increment(const char* key)
{
    BasicProperties* properties = BasicProperties::GetInstance();
    return properties != nullptr ? properties->GetFloat(key) : 0.0f;
}

Modifier* Run(Modifier* modifier, Modifier* after, GameNode* target)
{
    modifier->SetTarget(target);
    return Modifier::AttachTo(modifier, after);
}

ModifierScale* ScaleTo(std::int32_t duration, float fromX, float fromY, float toX, float toY)
{
    auto* scale = new ModifierScale(duration);
    scale->SetFrom(fromX, fromY);
    scale->SetTo(toX, toY);
    return scale;
}

}  // namespace

BlitzScene::BlitzScene(PropertyNode* description) : GameScene(description) {}

BlitzScene::~BlitzScene()
{
    ClearWords();
}

// --- the scene's life

void BlitzScene::Load()
{
    GameScene::Load();
    timerSprite = FindTyped<Sprite>(*this, "SPRITE_TIMER");
    nextWordButton = FindTyped<Button>(*this, "BUTTON_NEXTWORD");
    prevWordButton = FindTyped<Button>(*this, "BUTTON_PREVWORD");
    hintButton = FindTyped<Button>(*this, "BUTTON_Hint");
    pauseVeil = FindChild("PAUSE_VEIL", true);
    frameSide = FindTyped<Sprite>(*this, "PANEL_SIDE");
    frameBottomLeft = FindTyped<Sprite>(*this, "PANEL_BOTTOMLEFT");
    currentRack = nullptr;
    columnTop = 0.0f;
    if (pauseVeil != nullptr) {
        pauseVeil->SetVisible(false);
    }
    // Above the word in play: the comments left of the middle, a trophy and
    // its title right of them.
    m_PopupX = 350.0f;
    m_PopupY = 55.0f;
    m_TrophyX = 578.0f;
    m_TrophyY = 70.0f;
}

void BlitzScene::Deactivate()
{
    GameScene::Deactivate();
    if (Renderer* renderer = Renderer::GetInstance()) {
        renderer->EvictManagedResources();
    }
}

void BlitzScene::StartMode()
{
    if (ResourceManager* resources = ResourceManager::GetInstance()) {
        if (Image* image = resources->GetImage("BACKGROUND_BLITZ", "blitzscene")) {
            SetImage(image);
        }
    }
    m_ModeName = kBlitzSaveName;
    // Left by the menu's Stop, the scene kept the veil the menu put up.
    if (pauseVeil != nullptr) {
        pauseVeil->SetVisible(false);
    }
    RestoreOrDeal();
}

// --- dealing

template <typename P>
void BlitzScene::Later(Modifier* after, void (BlitzScene::*method)(P), P argument)
{
    Modifier::AttachTo(new ModifierMethodParam<BlitzScene, P>(this, method, argument), after);
}

void BlitzScene::ClearWords()
{
    ++deal;
    // A next-round dialog still due belongs to the round just dropped: the
    // game was left during its reveal, with the menu up, and kept as the
    // next round, which must not be passed over unplayed when it comes back.
    DropRoundEnd();
    currentRack = nullptr;
    racks.clear();
    for (Sprite* mark : marks) {
        mark->SetObsolete(true);
    }
    marks.Clear();
    switching = false;
    arriving = false;
    heldInput.clear();
}

void BlitzScene::StartRound(std::int32_t round, const UTF8String*)
{
    m_DialogOpen = false;
    m_Busy = false;
    m_GameState = kPlaying;
    OfferTutorial(GameMode::kBlitz);
    iRoundProfile* profile = Profile();
    if (round == 1) {
        m_Score = 0;
    }
    m_Round = round;
    m_TimeLeft = BlitzRules::kFullClock;
    m_CountdownMark = BlitzRules::kCountdownStart;
    SetLabel(m_RoundLabel, std::to_string(m_Round));
    ShowTimer(1.0f);
    usedMivel = usedSkip = usedHint = false;
    ClearWords();

    const std::int32_t count = BlitzRules::WordCount(round, Increment("BLITZ_WORD_NUMBER_INCREMENT"));
    columnTop = BlitzRules::ColumnTop(count);
    auto* pool = dynamic_cast<iWordPoolPosition*>(CurrentPlayer());
    m_WordTree->SetPoolPosition(pool != nullptr ? pool : &m_SparePool);
    const float sizeIncrement = Increment("BLITZ_WORD_SIZE_INCREMENT");
    const std::int32_t longest = profile != nullptr ? profile->GetMaxLength() : BlitzRules::kMaxLength;
    for (std::int32_t i = 0; i < count; ++i) {
        Random* random = Random::GetInstance();
        const float unit = random != nullptr ? random->NextFloat() : 0.5f;
        const std::int32_t target = BlitzRules::TargetLength(round, sizeIncrement, unit, longest);
        const UTF8String word = ChooseSourceWord(target, [this] { return m_WordTree->RandomWord(); });
        Platform::Log("Round %d of BLITZ, word %d: %s\n", static_cast<int>(round), static_cast<int>(i + 1),
                      word.GetString().c_str());
        AddWord(word, i, false);
    }
    LayOutWords();
    SavePlayers();
    for (std::size_t i = 0; i < racks.size(); ++i) {
        racks[i]->GetRackBox()->PlayLoadAnimation(i == 0);
    }
    Play("SOUND_lightning_start_round");
    SelectWord(0);
    RefreshLabels();
}

void BlitzScene::AddWord(const UTF8String& word, std::int32_t index, bool solved)
{
    std::unique_ptr<AnagramTable::WordList> answers = m_WordTree->FindAnagrams(word);
    const AnagramTable::WordList accepted = BlitzRules::AcceptedWords(*m_SecondWordTree, word);
    auto rack = std::make_unique<ClassicRack>(this, word, answers.get(), &accepted, index, true, solved);
    LetterBox* letters = rack->GetRackBox();
    LetterBox* typed = rack->GetAnswerBox();
    typed->SetHintWord(word);
    letters->Mivel(word, false);
    rack->hintCountdown = BlitzRules::kFirstHintDelay;
    rack->hintsUsed = 0;
    rack->GetTable()->SetVisible(false);
    if (solved) {
        // A found word is spelled out in the column, as it was accepted.
        for (Utf8Iterator it(word); it.codePoint != 0; Utf8Advance(it, 1)) {
            if (LetterBall* ball = letters->TakeBall(it.codePoint)) {
                typed->PlaceBall(ball, false, -1, 1.0f);
            }
        }
        typed->SetSelected(true);
        SpellFoundWord(*rack);
    }
    const float y = static_cast<float>(index) * BlitzRules::kColumnPitch + columnTop;
    letters->SetPosition(kColumnLeft, y);
    letters->SetScale(kSmallScale);
    SetLook(Look{letters, false});
    typed->SetAlpha(0.0f);

    ResourceManager* resources = ResourceManager::GetInstance();
    auto* mark = new Sprite(0.0f, 0.0f,
                            resources != nullptr ? resources->GetImage("IMAGE_BLITZ_MARK", "blitzscene") : nullptr);
    mark->SetAlpha(solved ? 1.0f : 0.0f);
    mark->SetFrame(solved ? 1 : 0);
    mark->SetPosition(kMarkLeft, y);
    AddChild(mark);
    marks.PushBack(mark);
    racks.push_back(std::move(rack));
}

BlitzScene::ColumnFit BlitzScene::FitColumn() const
{
    std::int32_t longest = 0;
    for (const auto& rack : racks) {
        longest = std::max(longest, rack->GetSourceWord().GetLength());
    }
    // The room a mark takes at its widest, as it stretches at the round's end.
    const float markWidth = marks.IsEmpty() ? 0.0f : marks[0]->GetWidth() * kMarkStretch;
    const float letters = static_cast<float>(longest) * LetterBox::kSlotPitch;
    // 26 a letter is a little short of the small slots for five- and
    // six-letter words: the inside always holds the longest word's box, the
    // 10 in front of it and some air behind it.
    ColumnFit fit{kSmallScale, 0.0f, 0.0f, 0.0f};
    fit.width = std::max(26.0f * static_cast<float>(longest) - 10.0f,
                         std::ceil(kColumnLeft - kColumnInset + letters * kSmallScale + kFrameAir));
    // Eight letters at the usual size would push the marks into the play
    // area: the column keeps its edge and its words get smaller.
    const float room = kPlayLeft - kMarkGap - markWidth - kColumnInset;
    if (fit.width > room && letters > 0.0f) {
        fit.width = room;
        fit.smallScale = std::min(kSmallScale, (room - (kColumnLeft - kColumnInset) - kFrameAir) / letters);
    }
    fit.marksLeft = kColumnInset + fit.width + kMarkGap;
    fit.end = fit.marksLeft + markWidth;
    return fit;
}

float BlitzScene::LargeScale(const LetterBox& box) const
{
    const float width = static_cast<float>(box.GetSlotCount()) * LetterBox::kSlotPitch;
    const float half = std::min(kLargeCentre - FitColumn().end - kLargeAir, kWindowRight - kLargeAir - kLargeCentre);
    return width > 0.0f ? std::clamp(2.0f * half / width, 0.1f, 1.0f) : 1.0f;
}

PointF BlitzScene::LargePlace(const LetterBox& box, float top) const
{
    // Centred on the middle and on the row the full-size box would fill.
    const float scale = LargeScale(box);
    return PointF{kLargeCentre - static_cast<float>(box.GetSlotCount()) * LetterBox::kSlotPitch * scale * 0.5f,
                  top + LetterBox::kSlotCentre * (1.0f - scale)};
}

void BlitzScene::LayOutWords()
{
    const ColumnFit fit = FitColumn();
    for (const auto& rack : racks) {
        rack->GetRackBox()->SetScale(fit.smallScale);
        LetterBox* typed = rack->GetAnswerBox();
        const PointF place = LargePlace(*typed, kTypedTop);
        typed->SetPosition(place.x, place.y);
        typed->SetScale(LargeScale(*typed));
    }
    for (Sprite* mark : marks) {
        mark->SetPosition(fit.marksLeft, mark->GetY());
    }
}

std::int32_t BlitzScene::GetCurrentIndex() const
{
    for (std::size_t i = 0; i < racks.size(); ++i) {
        if (racks[i].get() == currentRack) {
            return static_cast<std::int32_t>(i);
        }
    }
    return -1;
}

void BlitzScene::SelectWord(std::int32_t index)
{
    if (switching || index < 0 || index >= static_cast<std::int32_t>(racks.size())) {
        return;
    }
    std::int32_t wait = 0;
    if (currentRack != nullptr && !currentRack->solved && !currentRack->GetAnswerBox()->GetText().IsEmpty()) {
        ClearLetters();
        switching = true;
        wait = kSwitchWait;
    }
    SwitchWord(currentRack, racks[index].get(), wait);
    currentRack = racks[index].get();
    Platform::Log("Round %d of BLITZ, word %d in play\n", static_cast<int>(m_Round), static_cast<int>(index + 1));
    RefreshState();
}

void BlitzScene::SwitchWord(ClassicRack* from, ClassicRack* to, std::int32_t wait)
{
    Modifier* animations = GetAnimations();
    if (wait > 0) {
        Later(Modifier::AttachTo(new ModifierDelay(wait), animations), &BlitzScene::OnSwitchDone, deal);
    }
    if (from != nullptr && from != to) {
        LetterBox* letters = from->GetRackBox();
        const float y = static_cast<float>(from->GetIndex()) * BlitzRules::kColumnPitch + columnTop;
        Run(new ModifierLocationLine(kSwitchTime, kColumnLeft, y, false, true), animations, letters);
        const float small = FitColumn().smallScale;
        Modifier* scale =
            Run(ScaleTo(kSwitchTime, letters->GetScaleX(), letters->GetScaleY(), small, small), animations, letters);
        Run(new ModifierMethodParam<BlitzScene, Step>(this, &BlitzScene::OnBackInColumn, Step{deal, from->GetIndex()}),
            scale, letters);
        LetterBox* typed = from->GetAnswerBox();
        Run(new ModifierAlpha(kSwitchTime, typed->GetColor().a, 0.0f), animations, typed);
    }
    if (to != nullptr) {
        LetterBox* letters = to->GetRackBox();
        const PointF place = LargePlace(*letters, kLargeLettersTop);
        const float large = LargeScale(*letters);
        Run(new ModifierLocationLine(kSwitchTime, place.x, place.y, false, true), animations, letters);
        Modifier* scale =
            Run(ScaleTo(kSwitchTime, letters->GetScaleX(), letters->GetScaleY(), large, large), animations, letters);
        Run(new ModifierMethodParam<BlitzScene, Look>(this, &BlitzScene::SetLook, Look{letters, true}), scale, letters);
        arriving = true;
        Later(scale, &BlitzScene::OnArrived, ++arrival);
        LetterBox* typed = to->GetAnswerBox();
        Run(new ModifierAlpha(kSwitchTime, typed->GetColor().a, 1.0f), animations, typed);
    }
}

void BlitzScene::SetLook(Look look)
{
    // The slot markers belong to the small look only; the letters show in both.
    look.box->SetMarkersHidden(look.large);
    for (std::int32_t slot = 0; slot < look.box->GetSlotCount(); ++slot) {
        if (LetterBall* ball = look.box->GetBall(slot)) {
            ball->ShowOverlay();
        }
    }
}

void BlitzScene::SpellFoundWord(ClassicRack& rack)
{
    LetterBox* letters = rack.GetRackBox();
    LetterBox* typed = rack.GetAnswerBox();
    for (std::int32_t slot = 0; slot < typed->GetSlotCount(); ++slot) {
        LetterBall* ball = typed->TakeBallAt(slot);
        // A slot already taken would lose the ball: it goes to a free one.
        if (ball != nullptr && !letters->PlaceBall(ball, false, slot, 1.0f)) {
            letters->PlaceBall(ball, false, -1, 1.0f);
        }
    }
}

void BlitzScene::OnBackInColumn(Step step)
{
    if (step.deal != deal || step.index < 0 || step.index >= static_cast<std::int32_t>(racks.size())) {
        return;
    }
    ClassicRack& rack = *racks[step.index];
    if (rack.solved) {
        SpellFoundWord(rack);
    }
    SetLook(Look{rack.GetRackBox(), false});
}

void BlitzScene::OnSwitchDone(std::int32_t of)
{
    if (of == deal) {
        switching = false;
    }
}

void BlitzScene::OnArrived(std::int32_t of)
{
    if (of == arrival) {
        arriving = false;
        TakeHeldInput(of);
    }
}

void BlitzScene::TakeHeldInput(std::int32_t of)
{
    if (of != arrival || arriving || heldInput.empty()) {
        return;
    }
    const std::function<void()> input = std::move(heldInput.front());
    heldInput.pop_front();
    input();
    // Input that brought another word: the rest waits for that one.
    if (!arriving && !heldInput.empty()) {
        Later(Modifier::AttachTo(new ModifierDelay(kHeldInputGap), GetAnimations()), &BlitzScene::TakeHeldInput,
              arrival);
    }
}

void BlitzScene::StepWord(std::int32_t step)
{
    const auto n = static_cast<std::int32_t>(racks.size());
    const std::int32_t p = GetCurrentIndex();
    if (p < 0) {
        return;
    }
    for (std::int32_t k = 1; k <= n; ++k) {
        const std::int32_t candidate = ((p + step * k) % n + n) % n;
        if (!racks[candidate]->solved) {
            if (candidate != p) {
                SelectWord(candidate);
            }
            return;
        }
    }
}

void BlitzScene::NextWord()
{
    StepWord(1);
}

void BlitzScene::PreviousWord()
{
    StepWord(-1);
}

void BlitzScene::Skip(bool forward)
{
    usedSkip = true;
    Play("SOUND_lightning_skip");
    StepWord(forward ? 1 : -1);
}

void BlitzScene::NextRound()
{
    if (iRoundProfile* profile = Profile()) {
        PushAchievement(profile->CountGamePlayed(GameMode::kBlitz));
    }
    StartRound(m_Round + 1, nullptr);
}

void BlitzScene::OnNextRoundButton()
{
    m_PendingDialog = kNextRoundDialog;
}

void BlitzScene::OnPlayCommand(const std::string& name)
{
    if (name == "BUTTON_Hint") {
        Hint();
    } else if (name == "BUTTON_NextWord" || name == "BUTTON_NEXTWORD") {
        Skip(true);
    } else if (name == "BUTTON_PrevWord" || name == "BUTTON_PREVWORD") {
        Skip(false);
    }
}

// --- buttons and labels

void BlitzScene::RefreshState()
{
    Button* all[] = {m_MenuButton,      m_MivelButton,  m_EnterButton,  m_LastWordButton, m_ClearButton,
                     m_NextRoundButton, m_GiveUpButton, nextWordButton, prevWordButton,   hintButton};
    if (m_DialogOpen || m_Busy) {
        for (Button* button : all) {
            if (button != nullptr) {
                button->SetEnabled(false);
            }
        }
        return;
    }
    const UTF8String typed = currentRack != nullptr ? currentRack->GetAnswerBox()->GetText() : UTF8String();
    const UTF8String left = currentRack != nullptr ? currentRack->GetRackBox()->GetAllText() : UTF8String();
    const bool playing = m_GameState == kPlaying && currentRack != nullptr;
    SetButton(m_MenuButton, true, true);
    SetButton(m_MivelButton, true, playing && left.GetLength() > 1);
    SetButton(m_EnterButton, true,
              playing && typed.GetLength() == currentRack->GetSourceWord().GetLength());
    SetButton(m_LastWordButton, true, playing && typed.IsEmpty() && !currentRack->lastWord.IsEmpty());
    SetButton(m_ClearButton, true, playing && !typed.IsEmpty());
    SetButton(m_GiveUpButton, true, true);
    SetButton(nextWordButton, true, true);
    SetButton(prevWordButton, true, true);
    SetButton(hintButton, true, playing);
    SetButton(m_NextRoundButton, false, false);
}

void BlitzScene::ShowTimer(float fraction)
{
    if (timerSprite == nullptr) {
        return;
    }
    const float width = timerSprite->GetWidth() * std::clamp(fraction, 0.0f, 1.0f);
    timerClip = RectF{timerSprite->GetX(), timerSprite->GetY(), width, timerSprite->GetHeight()};
    timerSprite->SetClipRect(timerClip);
}

void BlitzScene::RefreshLabels()
{
    RefreshState();
    SetLabel(m_ScoreLabel, std::to_string(m_Score));
    SetLabel(m_RoundLabel, std::to_string(m_Round));
    ShowClock();
    for (Label* label : {m_TimerMinutesLabel, m_TimerSecondsLabel, m_TimeLabel}) {
        if (label != nullptr) {
            label->SetVisible(true);
        }
    }
    // The frame round the column of words: its inside runs from the inset
    // to `right`, its left side and left corners stand in the inset, and the
    // buttons above and below it never leave the window.
    const ColumnFit fit = FitColumn();
    const float top = columnTop - 10.0f;
    const float height = static_cast<float>(racks.size()) * BlitzRules::kColumnPitch;
    const float width = fit.width;
    const float left = kFrameMargin;
    const float right = kColumnInset + width;
    if (m_PanelLeft != nullptr) {
        m_PanelLeft->SetPosition(kColumnInset, top);
        m_PanelLeft->SetScaleX(width);
    }
    if (m_PanelTopLeft != nullptr) {
        m_PanelTopLeft->SetPosition(left, top);
    }
    if (frameBottomLeft != nullptr) {
        frameBottomLeft->SetPosition(left, top + height - 10.0f);
    }
    if (m_PanelLeftCorner != nullptr) {
        m_PanelLeftCorner->SetPosition(right, top);
    }
    if (m_PanelRight != nullptr) {
        m_PanelRight->SetPosition(right, top + 10.0f);
        m_PanelRight->SetScaleY(height - 20.0f);
    }
    if (m_PanelRightCorner != nullptr) {
        m_PanelRightCorner->SetPosition(right, top + height - 10.0f);
    }
    if (m_PanelBottom != nullptr) {
        m_PanelBottom->SetPosition(kColumnInset, top + height - 10.0f);
        m_PanelBottom->SetScaleX(width);
    }
    if (frameSide != nullptr) {
        frameSide->SetPosition(left, top + 10.0f);
        frameSide->SetScaleY(height - 20.0f);
    }
    if (m_PanelBackground != nullptr) {
        m_PanelBackground->SetPosition(kColumnInset, top + 10.0f);
        m_PanelBackground->SetScaleX(width / 195.0f);
        m_PanelBackground->SetScaleY((height - 20.0f) / 600.0f);
    }
    for (Sprite* mark : marks) {
        mark->SetPosition(fit.marksLeft, mark->GetY());
    }
    const auto centreOver = [&](const Button& button) {
        return std::max(left, std::floor(kColumnInset + width * 0.5f - button.GetWidth() * 0.5f));
    };
    if (prevWordButton != nullptr) {
        const float below = nextWordButton != nullptr ? nextWordButton->GetHeight() : prevWordButton->GetHeight();
        prevWordButton->SetPosition(centreOver(*prevWordButton), top - below);
    }
    if (nextWordButton != nullptr) {
        nextWordButton->SetPosition(centreOver(*nextWordButton), top + height + 10.0f);
    }
    if (pauseVeil != nullptr) {
        AddChild(pauseVeil);
    }
}

// --- typing and scoring

void BlitzScene::RemoveLetter()
{
    if (currentRack != nullptr) {
        if (LetterBall* ball = currentRack->GetAnswerBox()->TakeLastBall(false)) {
            Play("SOUND_letter_clear");
            currentRack->GetRackBox()->PlaceBall(ball, true, -1, 1.0f);
        }
    }
    RefreshState();
}

void BlitzScene::Mivel()
{
    Play("SOUND_word_mivel");
    usedMivel = true;
    if (currentRack != nullptr) {
        currentRack->GetRackBox()->Mivel(currentRack->GetSourceWord(), true);
    }
    if (iRoundProfile* profile = Profile()) {
        PushAchievement(profile->CountMivel());
    }
    RefreshState();
}

void BlitzScene::Hint()
{
    if (currentRack == nullptr) {
        return;
    }
    if (currentRack->GetAnswerBox()->ShowHint() >= 0) {
        Play("SOUND_lightning_hint");
    }
    currentRack->hintCountdown = BlitzRules::kNextHintDelay;
    usedHint = true;
    ++currentRack->hintsUsed;
    RefreshState();
}

bool BlitzScene::AllWordsSolved() const
{
    return std::all_of(racks.begin(), racks.end(), [](const auto& rack) { return rack->solved; });
}

void BlitzScene::SubmitWord()
{
    if (currentRack == nullptr || currentRack->solved) {
        return;
    }
    ClassicRack* rack = currentRack;
    const UTF8String word = rack->GetAnswerBox()->GetText();
    rack->lastWord = word;
    const std::int32_t letters = word.GetLength();
    if (letters != rack->GetSourceWord().GetLength()) {
        return;
    }
    bool hard = false;
    if (rack->GetTable()->Guess(word, hard) != AnagramTable::kPlaced) {
        Play("SOUND_word_reject");
        PushComment(kCommentNoWord);
        ClearLetters();
        RefreshState();
        return;
    }
    m_Score += BlitzRules::WordScore(letters, rack->hintsUsed);
    rack->solved = true;
    Platform::Log("Round %d of BLITZ, word %d solved\n", static_cast<int>(m_Round),
                  static_cast<int>(rack->GetIndex() + 1));
    rack->GetAnswerBox()->SetSelected(true);
    if (iRoundProfile* profile = Profile()) {
        PushAchievement(profile->CountSolved());
        if (hard) {
            PushAchievement(profile->CountHardSolved());
        }
    }
    const std::int32_t index = rack->GetIndex();
    if (index >= 0 && index < marks.GetCount()) {
        Sprite* mark = marks[index];
        mark->SetFrame(1);
        Run(new ModifierAlpha(150, 0.0f, 1.0f), GetAnimations(), mark);
    }
    const bool all = AllWordsSolved();
    Play("SOUND_word_bingo");
    if (!all) {
        m_TimeLeft = BlitzRules::Refill(m_TimeLeft);
        m_CountdownMark = BlitzRules::CountdownMark(m_TimeLeft);
        PushComment(kCommentTimeAdded);
        Play("SOUND_lightning_time_added");
        m_Busy = true;
        // The clock stands still while its bar fills, bar or no bar.
        const std::int32_t duration = (letters + 4) * 100;
        Modifier* fill = nullptr;
        if (timerSprite != nullptr) {
            timerSprite->SetFrame(1);
            const RectF from = timerClip;
            timerClip.width = timerSprite->GetWidth() * static_cast<float>(m_TimeLeft) / BlitzRules::kFullClock;
            fill = Run(new ModifierClipRect(duration, from, timerClip), GetAnimations(), timerSprite);
        } else {
            fill = Modifier::AttachTo(new ModifierDelay(duration), GetAnimations());
        }
        Later(fill, &BlitzScene::OnRefillDone, deal);
    } else {
        m_Score += BlitzRules::kRoundBonus;
        m_GameState = kWon;
        EarnTrophies();
        EndRound();
    }
    SetLabel(m_ScoreLabel, std::to_string(m_Score));
    RefreshState();
}

void BlitzScene::OnRefillDone(std::int32_t of)
{
    if (of != deal) {
        return;
    }
    m_Busy = false;
    NextWord();
    RefreshState();
}

void BlitzScene::EarnTrophies()
{
    iRoundProfile* profile = Profile();
    for (std::int32_t trophy : BlitzRules::RoundTrophies(usedMivel, usedSkip, usedHint, m_TimeLeft)) {
        if (profile != nullptr && profile->GetAchievement(trophy) == 0) {
            profile->SetAchievement(trophy, 1);
            PushAchievement(trophy);
        } else {
            PushAchievement(-1);
        }
    }
}

// --- input and window messages

ClassicRack* BlitzScene::RackInPlay() const
{
    return currentRack;
}

bool BlitzScene::OnMoveKey(std::int32_t keyCode)
{
    switch (keyCode) {
    case kKeyTab:
    case kKeyRight:
    case kKeyDown:
        Skip(true);
        return true;
    case kKeyLeft:
    case kKeyUp:
        Skip(false);
        return true;
    default:
        return false;
    }
}

bool BlitzScene::OnKeyDown(KeyboardMessageData* data)
{
    if (data == nullptr || !InputWaits() || !TakesKeys()) {
        return GameScene::OnKeyDown(data);
    }
    heldInput.push_back([this, stroke = KeyStroke(*data)] {
        KeyboardMessageData key(0, 0);
        static_cast<KeyStroke&>(key) = stroke;
        GameScene::OnKeyDown(&key);
    });
    return false;
}

void BlitzScene::OnButton(const UTF8String& command, BaseObject* parameter)
{
    // The menu, the next round and giving up go at once: they act on no word.
    const std::string& name = command.GetString();
    if (InputWaits() && TakesPlayCommands() && name != "BUTTON_Menu" && name != "BUTTON_NextRound" &&
        name != "BUTTON_GiveUp") {
        heldInput.push_back([this, command] { GameScene::OnButton(command, nullptr); });
        return;
    }
    GameScene::OnButton(command, parameter);
}

bool BlitzScene::OnMouseMove(MouseMessageData* data)
{
    if (data == nullptr) {
        return false;
    }
    for (const auto& rack : racks) {
        if (rack->solved && m_GameState == kPlaying) {
            continue;
        }
        for (const SmartPtr<LetterBall>& ball : rack->GetBalls()) {
            if (ball->HitTest(data->x, data->y)) {
                m_BallCursor.Set(true);
                return true;
            }
        }
    }
    m_BallCursor.Set(false);
    return false;
}

bool BlitzScene::OnLeftButtonDown(MouseMessageData* data)
{
    if (data == nullptr || !InputWaits() || !TakesKeys()) {
        if (data != nullptr) {
            ClickWordInPlay(data->x, data->y);
        }
        return false;
    }
    // A letter clicked on its way to the middle is taken where it lands;
    // the typed-word row stands still.
    SmartPtr<LetterBall> aimed;
    const LetterBox* letters = currentRack->GetRackBox();
    for (std::int32_t slot = 0; slot < letters->GetSlotCount() && !aimed; ++slot) {
        LetterBall* ball = letters->GetBall(slot);
        if (ball != nullptr && ball->HitTest(data->x, data->y)) {
            aimed = ball;
        }
    }
    heldInput.push_back([this, aimed, at = PointF(data->x, data->y)] {
        if (!aimed) {
            ClickWordInPlay(at.x, at.y);
        } else if (currentRack != nullptr && currentRack->GetRackBox()->FindBall(aimed.Get()) >= 0) {
            const PointF landed = aimed->GetParent()->LocalToGlobal(aimed->GetX(), aimed->GetY());
            ClickWordInPlay(landed.x, landed.y);
        }
    });
    return false;
}

void BlitzScene::ClickWordInPlay(float x, float y)
{
    if (TakesKeys()) {
        ClickBall(*currentRack, x, y);
    }
}

void BlitzScene::OnLetterBoxClick(LetterBox* box, MouseMessageData* click)
{
    if (OpenDefinition(box)) {
        return;
    }
    if (m_GameState != kPlaying || currentRack == nullptr) {
        return;
    }
    // Every word's typed-word box stands in the same row, faded out but for
    // the current one's, and the last drawn of them takes the click: a click
    // there is always meant for the word in play.
    const bool typedRow = std::any_of(racks.begin(), racks.end(),
                                      [box](const auto& rack) { return rack->GetAnswerBox() == box; });
    if (box == currentRack->GetRackBox() || typedRow) {
        OnLeftButtonDown(click);
    }
}

bool BlitzScene::OpenDefinition(LetterBox* box)
{
    for (std::size_t i = 0; i < racks.size(); ++i) {
        ClassicRack* rack = racks[i].get();
        if (rack->GetRackBox() != box) {
            continue;
        }
        if (m_GameState == kPlaying) {
            if (rack != currentRack && !rack->solved && !m_Busy && !m_DialogOpen) {
                usedSkip = true;
                Play("SOUND_lightning_skip");
                SelectWord(static_cast<std::int32_t>(i));
                return true;
            }
        } else {
            BasicProperties* properties = BasicProperties::GetInstance();
            const std::string address = AnagramTable::DefinitionAddress(
                properties != nullptr ? properties->GetString("BASE_URL") : std::string(),
                box->GetText().GetString());
            if (!address.empty()) {
                OpenURL(address);
            }
        }
    }
    return false;
}

void BlitzScene::OnMessage(const Message& message)
{
    if (message.GetId() == Message::kQuit) {
        SaveGameInProgress();
        return;
    }
    GameScene::OnMessage(message);
}

// --- the clock, dialogs and the end of a round

bool BlitzScene::OffersPass() const
{
    return false;
}

void BlitzScene::OnMenuOpened()
{
    if (pauseVeil != nullptr) {
        pauseVeil->SetVisible(true);
    }
}

void BlitzScene::PassOrGiveUp()
{
    TimeUp();
}

void BlitzScene::RunClock(std::int32_t dt)
{
    if (currentRack == nullptr) {
        return;
    }
    m_TimeLeft -= dt;
    if (m_TimeLeft < m_CountdownMark) {
        m_CountdownMark -= 1000;
        Play("SOUND_lightning_time_low");
    }
    ShowClock();
    if (timerSprite != nullptr) {
        // The bar turns coral with the clock's digits.
        timerSprite->SetFrame(ClockRunsOut() ? kTimerLowFrame : 0);
    }
    ShowTimer(static_cast<float>(m_TimeLeft) / BlitzRules::kFullClock);
    if (m_TimeLeft <= 0) {
        TimeUp();
        return;
    }
    currentRack->hintCountdown -= dt;
    if (currentRack->hintCountdown <= 0 && currentRack->GetAnswerBox()->GetText().IsEmpty()) {
        Hint();
    }
}

void BlitzScene::TimeUp()
{
    m_GameState = kLost;
    m_ScoreOwed = true;
    m_DialogOpen = true;
    const bool typed = currentRack != nullptr && !currentRack->GetAnswerBox()->GetText().IsEmpty();
    if (typed) {
        ClearLetters();
    }
    Later(Modifier::AttachTo(new ModifierDelay(typed ? 300 : 0), GetAnimations()), &BlitzScene::EndRoundOf, deal);
    RefreshState();
}

void BlitzScene::EndRoundOf(std::int32_t of)
{
    if (of == deal) {
        EndRound();
    }
}

void BlitzScene::EndRound()
{
    m_Busy = true;
    SwitchWord(currentRack, nullptr, 0);
    Modifier* animations = GetAnimations();
    std::int32_t last = 0;
    for (std::size_t i = 0; i < racks.size(); ++i) {
        last = 400 + 100 * static_cast<std::int32_t>(i);
        Modifier* delay = Modifier::AttachTo(new ModifierDelay(last), animations);
        Later(delay, &BlitzScene::RevealWord, Step{deal, static_cast<std::int32_t>(i)});
    }
    Later(Modifier::AttachTo(new ModifierDelay(last + 2000), animations), &BlitzScene::OnRevealDone, deal);
    RefreshState();
}

void BlitzScene::RevealWord(Step step)
{
    const std::int32_t index = step.index;
    if (step.deal != deal || index < 0 || index >= static_cast<std::int32_t>(racks.size())) {
        return;
    }
    ClassicRack* rack = racks[index].get();
    LetterBox* letters = rack->GetRackBox();
    LetterBox* typed = rack->GetAnswerBox();
    Modifier* animations = GetAnimations();
    if (rack->solved) {
        // The column shows the word as it was typed.
        SpellFoundWord(*rack);
        for (std::int32_t slot = 0; slot < letters->GetSlotCount(); ++slot) {
            LetterBall* ball = letters->GetBall(slot);
            if (ball == nullptr) {
                continue;
            }
            if (Sprite* overlay = ball->GetLetterOverlay()) {
                overlay->SetVisible(true);
                overlay->SetAlpha(1.0f);
            }
            Run(new ModifierAlpha(400, 0.0f, 1.0f), animations, ball);
        }
    } else {
        // The missed word, letter by letter in its own order.
        for (std::int32_t slot = 0; slot < letters->GetSlotCount(); ++slot) {
            letters->TakeBallAt(slot);
        }
        for (std::int32_t slot = 0; slot < typed->GetSlotCount(); ++slot) {
            typed->TakeBallAt(slot);
        }
        const auto& balls = rack->GetBalls();
        for (std::int32_t slot = 0; slot < balls.GetCount() && slot < letters->GetSlotCount(); ++slot) {
            letters->PlaceBall(balls[slot].Get(), false, slot, 1.0f);
        }
        letters->Realign();
    }
    if (index < marks.GetCount()) {
        Sprite* mark = marks[index];
        mark->SetFrame(rack->solved ? 1 : 0);
        mark->SetScaleX(0.0f);
        mark->SetScaleY(1.0f);
        Run(new ModifierAlpha(150, 0.0f, 1.0f), animations, mark);
        Modifier* grow = Run(ScaleTo(300, 0.0f, 1.0f, kMarkStretch, 1.0f), animations, mark);
        Run(ScaleTo(100, kMarkStretch, 1.0f, 1.0f, 1.0f), grow, mark);
    }
}

void BlitzScene::OnRevealDone(std::int32_t of)
{
    if (of != deal) {
        return;
    }
    if (m_GameState == kLost) {
        DeleteSavedGame();
        EndGame();
    } else if (m_GameState == kWon) {
        m_Busy = false;
        m_PendingDialog = kNextRoundDialog;
    }
}

bool BlitzScene::EnterFinalScore(bool congratulate)
{
    return EnterHighScore("blitz", true, GameMode::kBlitz, m_TimeLeft, std::to_string(m_Round), congratulate);
}

void BlitzScene::EndGame()
{
    if (!OfferOwedScore()) {
        OpenDialog("DIALOG_ENDGAME");
    }
}

void BlitzScene::SaveAndQuit(Dialog*, BaseObject*)
{
    SaveGameInProgress();
    QuitToSelection();
}

void BlitzScene::Refresh(Dialog* dialog, BaseObject* component)
{
    GameScene::Refresh(dialog, component);
    if (pauseVeil != nullptr) {
        pauseVeil->SetVisible(false);
    }
}

// --- saving

void BlitzScene::SaveGameInProgress()
{
    KeepOwedScore();
    if (racks.empty()) {
        return;
    }
    // A won round left at its next-round dialog would otherwise lose the
    // whole game, score and round with it.
    if (m_GameState == kWon) {
        NextRound();
    }
    if (m_GameState == kPlaying) {
        SaveRound();
    }
}

void BlitzScene::SaveRound()
{
    PlayerManager* players = PlayerManager::GetInstance();
    AbstractPlayer* player = CurrentPlayer();
    if (players == nullptr || player == nullptr || racks.empty()) {
        return;
    }
    players->SavePlayers();
    BlitzSave save;
    save.round = m_Round;
    save.timeLeft = m_TimeLeft;
    save.score = m_Score;
    for (const auto& rack : racks) {
        save.words.push_back({rack->GetSourceWord(), rack->solved});
    }
    WriteSavedGame(save.ToNode());
}

void BlitzScene::LoadRound()
{
    BlitzSave save;
    if (!TakeSavedGame([&](PropertyNode& game, std::string& why) {
            return BlitzSave::Read(game, *m_WordTree, save, why);
        })) {
        StartRound(1, nullptr);
        return;
    }
    m_GameState = kPlaying;
    m_Busy = false;
    usedMivel = usedSkip = usedHint = false;
    m_Round = save.round;
    SetLabel(m_RoundLabel, std::to_string(m_Round));
    m_TimeLeft = save.timeLeft;
    m_Score = save.score;
    m_CountdownMark = BlitzRules::CountdownMark(m_TimeLeft);
    ClearWords();
    columnTop = BlitzRules::ColumnTop(static_cast<std::int32_t>(save.words.size()));
    for (std::size_t i = 0; i < save.words.size(); ++i) {
        AddWord(save.words[i].word, static_cast<std::int32_t>(i), save.words[i].completed);
    }
    LayOutWords();
    std::int32_t first = -1;
    for (std::size_t i = 0; i < racks.size(); ++i) {
        if (racks[i]->solved) {
            racks[i]->GetRackBox()->RefreshFrames();
        } else {
            racks[i]->GetRackBox()->PlayLoadAnimation(first < 0);
            if (first < 0) {
                first = static_cast<std::int32_t>(i);
            }
        }
    }
    ShowTimer(static_cast<float>(m_TimeLeft) / BlitzRules::kFullClock);
    SelectWord(first);
    RefreshLabels();
    Platform::Log("Blitz game restored: round %d, %d words\n", static_cast<int>(m_Round),
                  static_cast<int>(racks.size()));
}

const char* BlitzScene::NextRoundBodyKey() const
{
    return "TEXT_NEXT_ROUND_BODY_BLITZ";
}
