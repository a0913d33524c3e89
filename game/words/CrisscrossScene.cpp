#include "game/words/CrisscrossScene.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <limits>
#include <optional>

#include "framework/core/app/Message.h"
#include "framework/core/app/MessageData.h"
#include "framework/core/data/AbstractPlayer.h"
#include "framework/core/data/PlayerManager.h"
#include "framework/core/files/ResourceManager.h"
#include "framework/core/properties/BasicProperties.h"
#include "framework/core/properties/PropertyStore.h"
#include "framework/core/util/Matrix3x3.h"
#include "framework/core/util/Platform.h"
#include "framework/core/util/Random.h"
#include "framework/graphics/render/Renderer.h"
#include "framework/scene/Button.h"
#include "framework/scene/ClickableSprite.h"
#include "framework/scene/Label.h"
#include "framework/scene/ModifierContainer.h"
#include "framework/scene/ModifierDelay.h"
#include "framework/scene/ModifierLocationLine.h"
#include "framework/scene/ModifierMethod.h"
#include "framework/scene/ModifierRotation.h"
#include "framework/scene/ModifierScale.h"
#include "game/words/CrisscrossRoundSave.h"
#include "game/words/CrosswordDealer.h"
#include "game/words/CrosswordRack.h"
#include "game/words/CrosswordTable.h"
#include "game/words/GameMode.h"
#include "game/words/GameSceneSupport.h"
#include "game/words/LetterBall.h"
#include "game/words/LetterBox.h"
#include "game/words/WordTree.h"
#include "game/words/iRoundProfile.h"

using namespace Qmv2;
using namespace GameSceneSupport;

namespace {

constexpr const char* kSaveName = "CROSSWORD";
// The highlight's frame n + 3 outlines a word of n slots; it turns coral
// round a full word the board does not take.
constexpr std::int32_t kHighlightFrame = 3;
constexpr std::uint32_t kHighlightColour = 0xFFFFFFFFu;
constexpr std::uint32_t kRefusedColour = 0xFFE63946u;
constexpr float kCrisscrossHighlightX = 11.0f;
constexpr float kCrisscrossHighlightY = 10.0f;
constexpr float kHighlightPivot = 45.0f;

Image* CrisscrossImage(const char* name, const char* section)
{
    ResourceManager* resources = ResourceManager::GetInstance();
    return resources != nullptr ? resources->GetImage(name, section) : nullptr;
}

std::uint32_t Letter(const UTF8String& text, std::int32_t index)
{
    if (index < 0 || index >= text.GetLength()) {
        return 0;
    }
    return text.GetCodePointAt(text.GetByteOffset(index));
}

bool SameLetter(std::uint32_t a, std::uint32_t b)
{
    return a == b || CodePointToLower(a) == CodePointToLower(b);
}

// Where the visible pictures under `node` (the node itself not counted)
// stand on the screen.
void CollectPieces(const GameNode& node, std::vector<NodeBounds>& pieces)
{
    for (GameNode* child = node.GetFirstChild(); child != nullptr; child = child->GetNextSibling()) {
        if (!child->IsVisible()) {
            continue;
        }
        if (child->IsOfType(&Sprite::s_Type) && static_cast<Sprite*>(child)->GetImageFrame() != nullptr) {
            pieces.push_back(child->GetBounds(node.GetGlobalMatrix(nullptr, true)));
        }
        CollectPieces(*child, pieces);
    }
}

// How many of `pieces` touch `area`.
std::int32_t CountCovered(const std::vector<NodeBounds>& pieces, const NodeBounds& area)
{
    return static_cast<std::int32_t>(
        std::count_if(pieces.begin(), pieces.end(), [&](const NodeBounds& piece) { return Overlap(piece, area); }));
}

// Every piece of an answer box that shows a letter or a slot.
template <typename F>
void ForEachPiece(LetterBox& box, F f)
{
    for (GameNode* child = box.GetFirstChild(); child != nullptr; child = child->GetNextSibling()) {
        if (child->IsOfType(&Sprite::s_Type)) {
            f(*static_cast<Sprite*>(child));
        }
    }
}

}  // namespace

CrisscrossScene::CrisscrossScene(PropertyNode* description) : GameScene(description)
{
    m_ModeName = kSaveName;
}

CrisscrossScene::~CrisscrossScene()
{
    DeleteRacks();
}

CrosswordRack* CrisscrossScene::GetCurrentRack() const
{
    return m_Current >= 0 && m_Current < static_cast<std::int32_t>(m_Racks.size()) ? m_Racks[m_Current].get()
                                                                                    : nullptr;
}

const WordPlacement* CrisscrossScene::Placement(std::int32_t index) const
{
    if (!m_Table || index < 0 || index >= static_cast<std::int32_t>(m_Table->GetPlacements().size())) {
        return nullptr;
    }
    return m_Table->GetPlacements()[index].Get();
}

bool CrisscrossScene::AllSolved() const
{
    return !m_Racks.empty() &&
           std::all_of(m_Racks.begin(), m_Racks.end(), [](const auto& rack) { return rack->solved; });
}

void CrisscrossScene::DeleteRacks()
{
    m_Racks.clear();
    m_Current = 0;
}

Modifier* CrisscrossScene::Run(Modifier* modifier, Modifier* after, GameNode* target)
{
    modifier->SetTarget(target);
    return Attach(modifier, after);
}

Modifier* CrisscrossScene::Call(void (CrisscrossScene::*method)(), Modifier* after)
{
    return Attach(new ModifierMethod<CrisscrossScene>(this, method), after);
}

Modifier* CrisscrossScene::Attach(Modifier* modifier, Modifier* after)
{
    if (after != nullptr) {
        return Modifier::AttachTo(modifier, after);
    }
    if (!m_RoundSteps) {
        m_RoundSteps = new ModifierContainer("Round");
        Modifier::AttachTo(m_RoundSteps.Get(), GetAnimations());
    }
    return Modifier::AttachTo(modifier, m_RoundSteps.Get());
}

void CrisscrossScene::DropRoundSteps()
{
    // Cancelled, the container takes everything below it out of the tree.
    if (m_RoundSteps) {
        m_RoundSteps->SetCancelled(true);
        m_RoundSteps = nullptr;
    }
    DropRoundEnd();
}

// --- the scene's life

void CrisscrossScene::Load()
{
    GameScene::Load();
    m_ModeName = kSaveName;
    m_ZoomInPending = false;
    m_ZoomButton = FindChild("BUTTON_Zoom", true);
    if (m_Table) {
        m_Table->SetObsolete(true);
        m_Table = nullptr;
    }
    m_Board = new ClickableSprite(0.0f, 0.0f);
    // Under the overlay, which frames the board's window and hides what of
    // the board lies outside it.
    AddChild(m_Board);
    if (GameNode* overlay = FindChild("OVERLAY", true); overlay != nullptr && overlay != m_Board) {
        m_Board->InsertBefore(overlay);
    }
    m_Highlight = new Sprite(0.0f, 0.0f, CrisscrossImage("IMAGE_CROSSWORDHIGHLIGHT", "gamescene"));
    m_Highlight->SetPivotXY(kHighlightPivot, kHighlightPivot);
    m_Highlight->SetVisible(false);
    m_Board->AddChild(m_Highlight);
    for (Label* label : {m_TimerMinutesLabel, m_TimerSecondsLabel, m_TimeLabel}) {
        if (label != nullptr) {
            label->SetVisible(false);
        }
    }
    m_NextWordButton = FindChild("BUTTON_NEXTWORD", true);
    m_PrevWordButton = FindChild("BUTTON_PREVWORD", true);
    m_PopupX = 400.0f;
    m_PopupY = 70.0f;
    m_Loaded = true;
}

PointF CrisscrossScene::TrophyPlace() const
{
    // The board's window is the only room: near its bottom corners, clear of
    // a comment showing.
    return FreePlace({{kTrophyLeftX, kTrophyY}, {kTrophyRightX, kTrophyY}}, &GameScene::TrophyFootprint,
                     &GameScene::TrophyFootprint, m_CommentShowing ? &m_CommentAt : nullptr,
                     &GameScene::CommentPopFootprint);
}

PointF CrisscrossScene::CommentPlace() const
{
    // Near the middle of the window's top, clear of a trophy showing.
    return FreePlace({{m_PopupX, m_PopupY}}, &GameScene::CommentFootprint, &GameScene::CommentPopFootprint,
                     m_TrophyShowing ? &m_TrophyAt : nullptr, &GameScene::TrophyFootprint);
}

PointF CrisscrossScene::FreePlace(std::initializer_list<PointF> usual, Footprint footprint, Footprint reach,
                                  const PointF* other, Footprint otherReach) const
{
    const NodeBounds around = footprint(PointF(0.0f, 0.0f));
    // Where the centre may go for the pop-up to stand inside the clear window.
    const NodeBounds centres{kClearLeft - around.left, kClearTop - around.top, kClearRight - around.right,
                             kClearBottom - around.bottom};
    const std::optional<NodeBounds> keepClear =
        other != nullptr ? std::optional<NodeBounds>(otherReach(*other)) : std::nullopt;
    std::vector<NodeBounds> pieces;
    if (m_Board != nullptr) {
        CollectPieces(*m_Board, pieces);
    }
    PointF best = *usual.begin();
    std::int32_t fewest = std::numeric_limits<std::int32_t>::max();
    float nearest = 0.0f;
    const auto consider = [&](PointF place) {
        float distance = std::numeric_limits<float>::max();
        for (const PointF& u : usual) {
            distance = std::min(distance, (place.x - u.x) * (place.x - u.x) + (place.y - u.y) * (place.y - u.y));
        }
        const NodeBounds covers = footprint(place);
        // Over the other pop-up counts as over more cells than any board has.
        const std::int32_t covered =
            CountCovered(pieces, covers) + (keepClear && Overlap(reach(place), *keepClear) ? kOverOtherPopUp : 0);
        if (covered < fewest || (covered == fewest && distance < nearest)) {
            best = place;
            fewest = covered;
            nearest = distance;
        }
    };
    for (const PointF& u : usual) {
        consider(u);
    }
    for (float y = centres.top; y <= centres.bottom; y += kPlaceStep) {
        for (float x = centres.left; x <= centres.right; x += kPlaceStep) {
            consider(PointF(x, y));
        }
    }
    return best;
}

std::int32_t CrisscrossScene::CellsCovered(const NodeBounds& area) const
{
    std::vector<NodeBounds> pieces;
    if (m_Board != nullptr) {
        CollectPieces(*m_Board, pieces);
    }
    return CountCovered(pieces, area);
}

void CrisscrossScene::Show()
{
    GameScene::Show();
    // The board's backdrop, in place of the classic scene's.
    if (Image* backdrop = CrisscrossImage("IMAGE_CROSSWORD_BACKGROUND", "crosswordscene")) {
        SetImage(backdrop);
    }
}

void CrisscrossScene::Deactivate()
{
    GameScene::Deactivate();
    if (Renderer* renderer = Renderer::GetInstance()) {
        renderer->EvictManagedResources();
    }
    m_GameState = kLost;
}

void CrisscrossScene::StartMode()
{
    m_ModeName = kSaveName;
    RestoreOrDeal();
}

// --- dealing

void CrisscrossScene::StartRound(std::int32_t round, const UTF8String*)
{
    DropRoundSteps();
    m_DialogOpen = false;
    m_Busy = false;
    DeleteRacks();
    {
        MutexLock lock(m_CommentLock.get());
        m_CommentQueue.Clear();
    }
    m_GameState = kPlaying;
    OfferTutorial(GameMode::kCrisscross);
    iRoundProfile* profile = Profile();
    m_TimeLeft = 0;
    // The mode has no passes: the question is always whether to give up.
    m_PassCount = kPassesPerGame - 1;
    m_Round = round;
    m_BoardHorizontal = true;
    m_MivelUsed = false;
    m_WordReopened = false;
    if (round == 1) {
        m_Score = 0;
    }
    SetLabel(m_RoundLabel, std::to_string(m_Round));
    SetLabel(m_ScoreLabel, std::to_string(m_Score));

    auto* pool = dynamic_cast<iWordPoolPosition*>(CurrentPlayer());
    m_WordTree->SetPoolPosition(pool != nullptr ? pool : &m_SparePool);
    Random* random = Random::GetInstance();
    const std::int32_t maxLength = std::clamp(profile != nullptr ? profile->GetMaxLength() : 8,
                                              CrosswordDealer::kMinSourceLength, CrosswordDealer::kMaxSourceLength);
    CrosswordDealer::Sources sources;
    sources.draw = [this, random, maxLength] {
        const std::int32_t target = std::min(random != nullptr ? random->Range(5, 9) : 6, maxLength);
        return ChooseSourceWord(target, [this] { return m_WordTree->RandomWord(); });
    };
    sources.shuffleRandom = [] { return static_cast<std::uint32_t>(std::rand()); };
    sources.countRandom = [random] { return random != nullptr ? static_cast<std::uint32_t>(random->NextInt()) : 0u; };
    float increment = 0.0f;
    if (BasicProperties* properties = BasicProperties::GetInstance()) {
        increment = properties->GetFloat("BLITZ_WORD_NUMBER_INCREMENT");
    }

    InstallTable(SmartPtr<CrosswordTable>(new CrosswordTable(0.0f, 0.0f)));
    const UTF8String source =
        CrosswordDealer::Deal(*m_Table, *m_WordTree, *m_SecondWordTree, sources, m_Round, increment);
    std::string board;
    for (const auto& placement : m_Table->GetPlacements()) {
        board += " " + placement->word;
    }
    Platform::Log("Round %d of CROSSWORD: the source word is %s; the board:%s\n", static_cast<int>(m_Round),
                  source.GetString().c_str(), board.c_str());
    SavePlayers();

    const auto& placements = m_Table->GetPlacements();
    for (std::size_t i = 0; i < placements.size(); ++i) {
        const UTF8String word(placements[i]->word);
        auto rack = std::make_unique<CrosswordRack>(this, word, word.GetLength(), static_cast<std::int32_t>(i),
                                                    nullptr, true);
        rack->SetHint(word);
        AddRack(std::move(rack));
    }
    ShowWord(0);
}

void CrisscrossScene::AddRack(std::unique_ptr<CrosswordRack> rack)
{
    m_Board->AddChild(rack->GetAnswerBox());
    rack->GetAnswerBox()->SetObsolete(false);
    rack->GetRackBox()->PlayLoadAnimation(m_Racks.empty());
    // Each ball shows its letter once it has rolled in.
    for (const SmartPtr<LetterBall>& ball : rack->GetBalls()) {
        ball->AddModifier(new ModifierMethod<LetterBall>(ball.Get(), &LetterBall::ShowOverlay));
    }
    m_Racks.push_back(std::move(rack));
}

void CrisscrossScene::ShowWord(std::int32_t index)
{
    m_Current = index;
    if (CrosswordRack* rack = GetCurrentRack()) {
        rack->GetRackBox()->SetVisible(!rack->solved);
    }
    MarkCrossings();
    m_BoardHorizontal = true;
    m_Board->SetRotation(0.0f);
    LayOutBoard();
}

void CrisscrossScene::InstallTable(SmartPtr<CrosswordTable> table)
{
    if (m_Table) {
        m_Table->SetObsolete(true);
    }
    m_Table = std::move(table);
    m_Table->scene = this;
    AddChild(m_Table.Get());
    m_Table->SetPosition(0.0f, 50.0f);
    m_Table->SetVisible(false);
}

void CrisscrossScene::NextRound()
{
    if (iRoundProfile* profile = Profile()) {
        PushAchievement(profile->CountGamePlayed(GameMode::kCrisscross));
    }
    StartRound(m_Round + 1, nullptr);
}

void CrisscrossScene::LayOutBoard()
{
    for (std::size_t i = 0; i < m_Racks.size(); ++i) {
        const WordPlacement* p = Placement(static_cast<std::int32_t>(i));
        LetterBox* box = m_Racks[i]->GetAnswerBox();
        m_Board->AddChild(box);
        box->SetObsolete(false);
        if (p == nullptr) {
            continue;
        }
        box->SetPosition(static_cast<float>(p->x) * kCell, static_cast<float>(p->y) * kCell);
        if (!p->horizontal) {
            // Turned about the centre of its first cell; its pieces turned
            // back so that the letters stand upright. Set, never added, so a
            // box laid out again turns no further.
            box->SetPivotXY(LetterBox::kSlotCentre, LetterBox::kSlotCentre);
            box->SetRotation(kQuarterTurn);
            ForEachPiece(*box, [](Sprite& piece) { piece.SetRotation(-kQuarterTurn); });
        }
        ShowBoxLetters(false);
    }
    m_Board->SetScale(kZoomedOut);
    if (!m_Racks.empty()) {
        SelectWord(m_Current);
    }
}

void CrisscrossScene::MarkCrossings()
{
    const WordPlacement* first = Placement(0);
    if (first == nullptr || m_Racks.empty()) {
        return;
    }
    for (const auto& [other, k] : first->intersections) {
        const WordPlacement* crossing = Placement(other);
        if (crossing == nullptr || other >= static_cast<std::int32_t>(m_Racks.size())) {
            continue;
        }
        m_Racks[0]->GetAnswerBox()->ShowHintAt(k);
        const auto back = crossing->intersections.find(0);
        if (back != crossing->intersections.end()) {
            m_Racks[other]->GetAnswerBox()->ShowHintAt(back->second);
        }
    }
}

void CrisscrossScene::ShowBoxLetters(bool hidden)
{
    // The letters and hints of every answer box stay readable at either
    // zoom: a ball without its letter would tell the player nothing.
    (void)hidden;
    for (const auto& rack : m_Racks) {
        LetterBox* box = rack->GetAnswerBox();
        for (std::int32_t i = 0; i < box->GetSlotCount(); ++i) {
            if (LetterBall* ball = box->GetBall(i); ball != nullptr && ball->GetLetterOverlay() != nullptr) {
                ball->GetLetterOverlay()->SetVisible(true);
            }
        }
    }
}

float CrisscrossScene::BoardScale() const
{
    return m_Board != nullptr ? m_Board->GetScaleX() : kZoomedOut;
}

void CrisscrossScene::Zoom()
{
    // A letter still flying into the word lands first: its flight ends where
    // the slot stood on screen when it set off, not where the zoom takes it.
    if (CrosswordRack* rack = GetCurrentRack()) {
        LetterBox* answer = rack->GetAnswerBox();
        for (std::int32_t slot = 0; slot < answer->GetSlotCount(); ++slot) {
            if (LetterBall* ball = answer->GetBall(slot)) {
                ball->FinishMove();
            }
        }
    }
    const float scale = BoardScale();
    if (scale == kZoomedIn) {
        m_ZoomInPending = false;
        m_Busy = true;
        RefreshState();
        ShowBoxLetters(false);
        auto* out = new ModifierScale(kZoomTime);
        out->SetFrom(kZoomedIn, kZoomedIn);
        out->SetTo(kZoomedOut, kZoomedOut);
        Modifier* last = Run(out, nullptr, m_Board);
        Call(&CrisscrossScene::CentreOnFirstWord, last);
    } else if (scale == kZoomedOut) {
        m_ZoomInPending = true;
        CentreOnCurrentWord(kNoWord);
    }
}

PointF CrisscrossScene::WordCentre(std::int32_t index) const
{
    const LetterBox* box = m_Racks[index]->GetAnswerBox();
    const PointF centre = box->GetLocalMatrix().Map(
        PointF(static_cast<float>(box->GetSlotCount()) * kCell * 0.5f, LetterBox::kSlotCentre));
    return PointF(std::floor(centre.x), std::floor(centre.y));
}

void CrisscrossScene::CentreOn(std::int32_t index, void (CrisscrossScene::*then)())
{
    if (index < 0 || index >= static_cast<std::int32_t>(m_Racks.size())) {
        return;
    }
    // The board slides so that the word's centre comes to rest in the
    // middle of the window.
    const PointF centre = WordCentre(index);
    PivotAt(centre);
    m_Busy = true;
    RefreshState();
    Modifier* move = Run(
        new ModifierLocationLine(kMoveTime, kWordCentreX - centre.x, kWordCentreY - centre.y, false, true), nullptr,
        m_Board);
    Call(then, move);
}

void CrisscrossScene::PivotAt(const PointF& point)
{
    const PointF onScreen = m_Board->GetLocalMatrix().Map(point);
    m_Board->SetPivotXY(point.x, point.y);
    m_Board->SetPosition(onScreen.x - point.x, onScreen.y - point.y);
}

void CrisscrossScene::AddReach(std::vector<PointF>& reach, std::int32_t word, const PointF& at, float rotation) const
{
    const LetterBox& box = *m_Racks[word]->GetAnswerBox();
    const float length = static_cast<float>(box.GetSlotCount()) * kCell;
    const Matrix3x3 place = box.GetLocalMatrix();
    Matrix3x3 turn;
    turn.SetTransform(0.0f, 0.0f, rotation, 1.0f, 1.0f, 0.0f, 0.0f, at);
    for (const PointF& corner : {PointF(0.0f, 0.0f), PointF(length, 0.0f), PointF(0.0f, kCell), PointF(length, kCell)}) {
        const PointF q = turn.Map(place.Map(corner));
        reach.emplace_back(q.x - at.x, q.y - at.y);
    }
}

float CrisscrossScene::Fit(const std::vector<PointF>& reach, float scale)
{
    for (const PointF& v : reach) {
        if (v.x > 0.0f) {
            scale = std::min(scale, (kClearRight - kWordCentreX) / v.x);
        } else if (v.x < 0.0f) {
            scale = std::min(scale, (kClearLeft - kWordCentreX) / v.x);
        }
        if (v.y > 0.0f) {
            scale = std::min(scale, (kClearBottom - kWordCentreY) / v.y);
        } else if (v.y < 0.0f) {
            scale = std::min(scale, (kClearTop - kWordCentreY) / v.y);
        }
    }
    return scale;
}

float CrisscrossScene::FittingScale(std::int32_t left, float scale) const
{
    const WordPlacement* p = Placement(m_Current);
    if (p == nullptr) {
        return scale;
    }
    std::vector<PointF> reach;
    std::vector<std::int32_t> words{m_Current};
    if (left >= 0 && left != m_Current && left < static_cast<std::int32_t>(m_Racks.size())) {
        words.push_back(left);
    }
    const float from = m_Board->GetRotation();
    // The slide starts with the board's point now in the middle there.
    if (left >= 0) {
        const PointF now = m_Board->GetInverseLocalMatrix().Map(PointF(kWordCentreX, kWordCentreY));
        for (std::int32_t word : words) {
            AddReach(reach, word, now, from);
        }
    }
    // It ends with the word brought in in the middle, where the board turns
    // to it: every degree of the turn.
    const PointF centre = WordCentre(m_Current);
    const float turn = p->horizontal == m_BoardHorizontal ? 0.0f : p->horizontal ? kQuarterTurn : -kQuarterTurn;
    constexpr int kSteps = 90;
    for (int step = 0; step <= (turn != 0.0f ? kSteps : 0); ++step) {
        for (std::int32_t word : words) {
            AddReach(reach, word, centre, from + turn * static_cast<float>(step) / kSteps);
        }
    }
    return Fit(reach, scale);
}

void CrisscrossScene::CentreOnCurrentWord(std::int32_t left)
{
    // The word brought in and the word left stay whole inside the board's
    // window while the board slides and turns: where they would reach past
    // it, the board first zooms out about the window's middle, and zooms back
    // once it has turned.
    const float scale = BoardScale();
    const float fit = FittingScale(left, scale);
    if (fit >= scale) {
        SlideToCurrentWord();
        return;
    }
    if (scale == kZoomedIn) {
        m_ZoomInPending = true;
    }
    PivotAt(m_Board->GetInverseLocalMatrix().Map(PointF(kWordCentreX, kWordCentreY)));
    m_Busy = true;
    RefreshState();
    auto* out = new ModifierScale(kZoomTime);
    out->SetFrom(scale, scale);
    out->SetTo(fit, fit);
    Call(&CrisscrossScene::SlideToCurrentWord, Run(out, nullptr, m_Board));
}

void CrisscrossScene::SlideToCurrentWord()
{
    CentreOn(m_Current, &CrisscrossScene::RotateWord);
}

void CrisscrossScene::CentreOnFirstWord()
{
    CentreOn(0, &CrisscrossScene::AfterFirstWordCentred);
}

void CrisscrossScene::AfterFirstWordCentred()
{
    m_Busy = false;
    SayWordInPlay();
    RefreshState();
}

void CrisscrossScene::SayWordInPlay() const
{
    Platform::Log("Round %d of %s, word %d in play\n", static_cast<int>(m_Round), m_ModeName.c_str(),
                  static_cast<int>(m_Current + 1));
}

void CrisscrossScene::TurnPieces(float angle)
{
    for (const auto& rack : m_Racks) {
        ForEachPiece(*rack->GetAnswerBox(), [&](Sprite& piece) {
            Modifier* wait = Run(new ModifierDelay(kTurnDelay), nullptr, &piece);
            Run(new ModifierRotation(kTurnTime, piece.GetRotation(), piece.GetRotation() + angle), wait, &piece);
        });
    }
}

void CrisscrossScene::RotateWord()
{
    const WordPlacement* p = Placement(m_Current);
    Modifier* last = nullptr;
    if (p != nullptr && p->horizontal != m_BoardHorizontal) {
        Play("SOUND_crossword_rotate_word");
        const float angle = p->horizontal ? kQuarterTurn : -kQuarterTurn;
        Modifier* wait = Run(new ModifierDelay(kTurnDelay), nullptr, m_Board);
        last = Run(new ModifierRotation(kTurnTime, m_Board->GetRotation(), m_Board->GetRotation() + angle), wait,
                   m_Board);
        TurnPieces(-angle);
        m_BoardHorizontal = p->horizontal;
    }
    // Back to the board's scale: zoomed in when the player asked for it,
    // else the whole crossword's. At a round's end the board zooms onto the
    // whole crossword from where it stands instead.
    const float rest = m_ZoomInPending ? kZoomedIn : kZoomedOut;
    m_ZoomInPending = false;
    if (const float scale = BoardScale(); scale < rest && m_GameState == kPlaying) {
        auto* in = new ModifierScale(kZoomTime);
        in->SetFrom(scale, scale);
        in->SetTo(rest, rest);
        last = Run(in, last, m_Board);
    }
    Call(&CrisscrossScene::AfterWordChange, last);
}

void CrisscrossScene::AfterWordChange()
{
    CrosswordRack* rack = GetCurrentRack();
    const WordPlacement* p = Placement(m_Current);
    if (rack == nullptr || p == nullptr) {
        m_Busy = false;
        SayWordInPlay();
        RefreshState();
        return;
    }
    rack->GetRackBox()->SetVisible(!rack->solved);
    for (const auto& [other, letter] : p->intersections) {
        (void)letter;
        if (other < static_cast<std::int32_t>(m_Racks.size()) &&
            !m_Racks[other]->GetAnswerBox()->GetAllText().IsEmpty()) {
            m_Board->AddChild(m_Racks[other]->GetAnswerBox());
        }
    }
    LetterBox* answer = rack->GetAnswerBox();
    m_Board->AddChild(answer);
    for (const auto& [other, i] : p->intersections) {
        const WordPlacement* crossing = Placement(other);
        if (crossing == nullptr || other >= static_cast<std::int32_t>(m_Racks.size())) {
            continue;
        }
        const CrosswordRack& across = *m_Racks[other];
        LetterBall* held = answer->GetBall(i);
        if (!across.solved) {
            if (held != nullptr) {
                held->SetPlacedExplicitly(false);
            }
            continue;
        }
        if (held != nullptr) {
            held->SetPlacedExplicitly(true);
            continue;
        }
        const auto back = crossing->intersections.find(m_Current);
        const std::uint32_t fixed =
            back != crossing->intersections.end() ? Letter(across.solvedText, back->second) : 0;
        if (fixed != 0 && !rack->solved) {
            if (LetterBall* ball = rack->GetRackBox()->TakeBall(fixed)) {
                PutIntoAnswer(ball, i);
            }
        }
    }
    UpdateHighlightAfterTyping();
    if (m_GameState == kWon || m_GameState == kLost) {
        EndOfRoundAnimation();
        return;
    }
    m_Busy = false;
    SayWordInPlay();
    RefreshState();
}

void CrisscrossScene::NextWord(bool skipSolved)
{
    const auto count = static_cast<std::int32_t>(m_Racks.size());
    if (count == 0) {
        return;
    }
    std::int32_t index = (m_Current + 1) % count;
    if (skipSolved) {
        for (std::int32_t k = 1; k <= count; ++k) {
            index = (m_Current + k) % count;
            if (!m_Racks[index]->solved) {
                break;
            }
        }
    }
    if (index != m_Current) {
        SelectWord(index);
    }
}

void CrisscrossScene::NextUnsolvedWord()
{
    m_Busy = false;
    NextWord(true);
    RefreshState();
}

void CrisscrossScene::PrevWord()
{
    const auto count = static_cast<std::int32_t>(m_Racks.size());
    if (count == 0) {
        return;
    }
    const std::int32_t index = (m_Current + count - 1) % count;
    if (index != m_Current) {
        SelectWord(index);
    }
}

void CrisscrossScene::SelectWord(std::int32_t index)
{
    if (index < 0 || index >= static_cast<std::int32_t>(m_Racks.size())) {
        return;
    }
    if (CrosswordRack* rack = GetCurrentRack(); rack != nullptr && !rack->solved) {
        ClearLettersFrom(true);
    }
    const std::int32_t left = index != m_Current ? m_Current : kNoWord;
    if (index != m_Current) {
        if (CrosswordRack* rack = GetCurrentRack()) {
            rack->GetRackBox()->SetVisible(false);
        }
        m_Current = index;
        for (const auto& rack : m_Racks) {
            if (rack->solved) {
                m_Board->AddChild(rack->GetAnswerBox());
            }
        }
    }
    CentreOnCurrentWord(left);
    RefreshState();
    UpdateHighlight();
}

void CrisscrossScene::UpdateHighlight()
{
    CrosswordRack* rack = GetCurrentRack();
    const WordPlacement* p = Placement(m_Current);
    if (rack == nullptr || p == nullptr || m_Highlight == nullptr) {
        return;
    }
    LetterBox* box = rack->GetAnswerBox();
    m_Board->AddChild(m_Highlight);
    // The highlight stands round the box's first cell and turns with it.
    m_Highlight->SetPosition(box->GetX() - kCrisscrossHighlightX, box->GetY() - kCrisscrossHighlightY);
    m_Highlight->SetRotation(p->horizontal ? 0.0f : kQuarterTurn);
    SetClampedFrame(*m_Highlight, rack->GetLength() + kHighlightFrame);
    m_Highlight->SetPackedColor(kHighlightColour);
    m_Highlight->SetVisible(true);
}

void CrisscrossScene::UpdateHighlightAfterTyping()
{
    UpdateHighlight();
    CrosswordRack* rack = GetCurrentRack();
    if (rack == nullptr || rack->solved || m_Table == nullptr) {
        return;
    }
    LetterBox* box = rack->GetAnswerBox();
    const UTF8String typed = box->GetAllText();
    if (typed.GetLength() == box->GetSlotCount() && std::find(m_Table->accepted.begin(), m_Table->accepted.end(), typed.GetString()) == m_Table->accepted.end()) {
        m_Highlight->SetPackedColor(kRefusedColour);
        PushComment(kCommentNotAWordHere);
    }
}

// --- typing and scoring

void CrisscrossScene::PutIntoAnswer(LetterBall* ball, std::int32_t slot)
{
    CrosswordRack* rack = GetCurrentRack();
    if (rack == nullptr || ball == nullptr) {
        return;
    }
    if (!rack->GetAnswerBox()->PlaceBall(ball, true, slot, BoardScale())) {
        rack->GetRackBox()->PlaceBall(ball, false, -1, 1.0f);
        return;
    }
    // Whatever the board's turn, the current word reads across on screen.
    ball->SetRotation(0.0f);
}

void CrisscrossScene::AfterBallPlaced()
{
    if (!CheckCrossing()) {
        PushComment(kCommentNoCrossing);
        RemoveLetterFrom(false);
        return;
    }
    if (CrosswordRack* rack = GetCurrentRack()) {
        rack->letterRejected = false;
    }
    UpdateHighlightAfterTyping();
    RefreshState();
}

void CrisscrossScene::PlaceLetter(const UTF8String& letter)
{
    CrosswordRack* rack = GetCurrentRack();
    if (rack == nullptr || letter.IsEmpty() || rack->solved) {
        return;
    }
    LetterBox* answer = rack->GetAnswerBox();
    const std::int32_t filled = answer->GetAllText().GetLength();
    if (filled >= answer->GetSlotCount()) {
        return;
    }
    const std::uint32_t c = Utf8Iterator(letter).codePoint;
    std::uint32_t fixed = 0;
    if (answer->GetNextHintLetter(fixed) && !SameLetter(fixed, c)) {
        PushComment(kCommentFixedLetter);
        return;
    }
    const std::int32_t typed = answer->GetText().GetLength();
    LetterBall* last = typed > 0 ? answer->GetBall(typed - 1) : nullptr;
    if (last != nullptr && last->IsPlacedExplicitly() && SameLetter(last->GetLetter(), c) && !rack->letterRejected) {
        rack->letterRejected = true;
        return;
    }
    LetterBall* ball = rack->GetRackBox()->TakeBall(c);
    if (ball == nullptr) {
        return;
    }
    Play("SOUND_letter_place");
    PutIntoAnswer(ball, -1);
    AfterBallPlaced();
}

bool CrisscrossScene::CheckCrossing() const
{
    const CrosswordRack* rack = GetCurrentRack();
    const WordPlacement* p = Placement(m_Current);
    if (rack == nullptr || p == nullptr) {
        return true;
    }
    const UTF8String typed = rack->GetAnswerBox()->GetText();
    const std::int32_t n = typed.GetLength();
    if (n == 0) {
        return true;
    }
    for (const auto& [other, letterIndex] : p->intersections) {
        const WordPlacement* crossing = Placement(other);
        if (letterIndex != n - 1 || crossing == nullptr || other >= static_cast<std::int32_t>(m_Racks.size()) ||
            m_Racks[other]->solved) {
            continue;
        }
        // The letter just typed, and the letters the crossing word already
        // owes to its own solved crossings.
        std::vector<std::uint32_t> needed{Letter(typed, n - 1)};
        for (const auto& [second, unused] : crossing->intersections) {
            (void)unused;
            const WordPlacement* far = Placement(second);
            if (far == nullptr || second >= static_cast<std::int32_t>(m_Racks.size()) || !m_Racks[second]->solved) {
                continue;
            }
            const auto at = far->intersections.find(other);
            if (at != far->intersections.end()) {
                needed.push_back(Letter(m_Racks[second]->solvedText, at->second));
            }
        }
        if (needed.size() < 2) {
            continue;
        }
        // The crossing word's own rack must hold every one of them, or it
        // could never be finished across this letter.
        std::vector<std::uint32_t> pool;
        for (Utf8Iterator it(m_Racks[other]->GetLetters()); it.codePoint != 0; Utf8Advance(it, 1)) {
            pool.push_back(it.codePoint);
        }
        for (const std::uint32_t c : needed) {
            const auto found = std::find_if(pool.begin(), pool.end(), [c](std::uint32_t l) { return SameLetter(l, c); });
            if (found == pool.end()) {
                return false;
            }
            pool.erase(found);
        }
    }
    return true;
}

void CrisscrossScene::RemoveLetter()
{
    RemoveLetterFrom(false);
}

void CrisscrossScene::RemoveLetterFrom(bool withFixed)
{
    CrosswordRack* rack = GetCurrentRack();
    if (rack != nullptr && rack->solved) {
        // Reopening clears the word, and that clear is the one sound.
        ReopenWord();
        return;
    }
    Play("SOUND_letter_clear");
    if (rack == nullptr) {
        return;
    }
    TakeBackLastLetter(*rack, withFixed);
    RefreshState();
}

void CrisscrossScene::TakeBackLastLetter(CrosswordRack& rack, bool withFixed)
{
    if (LetterBall* ball = rack.GetAnswerBox()->TakeLastBall(withFixed)) {
        // Emptied for a change of word, the balls go back at once.
        rack.GetRackBox()->PlaceBall(ball, !withFixed, -1, 1.0f);
        ball->SetRotation(0.0f);
    }
}

void CrisscrossScene::ClearLetters()
{
    ClearLettersFrom(false);
}

void CrisscrossScene::ClearLettersFrom(bool withFixed)
{
    // A clear sounds once, however many letters it takes back: a sound a
    // letter would start them all in one frame and clip the mix.
    Play("SOUND_letter_clear");
    CrosswordRack* rack = GetCurrentRack();
    if (rack == nullptr || rack->solved) {
        return;
    }
    for (std::int32_t i = 0; i < rack->GetLength(); ++i) {
        TakeBackLastLetter(*rack, withFixed);
    }
    RefreshState();
}

void CrisscrossScene::LastWord()
{
    CrosswordRack* rack = GetCurrentRack();
    if (rack == nullptr || rack->solved || rack->lastWord.IsEmpty() ||
        rack->lastWord.GetLength() > rack->GetAnswerBox()->GetSlotCount()) {
        return;
    }
    Play("SOUND_word_last");
    LetterBox* answer = rack->GetAnswerBox();
    for (std::int32_t i = 0; i < rack->lastWord.GetLength(); ++i) {
        if (answer->GetBall(i) != nullptr) {
            continue;
        }
        if (LetterBall* ball = rack->GetRackBox()->TakeBall(Letter(rack->lastWord, i))) {
            PutIntoAnswer(ball, -1);
        }
    }
    UpdateHighlightAfterTyping();
    RefreshState();
}

void CrisscrossScene::Mivel()
{
    CrosswordRack* rack = GetCurrentRack();
    if (rack == nullptr) {
        return;
    }
    Play("SOUND_word_mivel");
    rack->GetRackBox()->Mivel(rack->GetLetters(), true);
    m_MivelUsed = true;
    if (iRoundProfile* profile = Profile()) {
        PushAchievement(profile->CountMivel());
    }
}

void CrisscrossScene::SubmitWord()
{
    CrosswordRack* rack = GetCurrentRack();
    if (rack == nullptr || rack->solved || !m_Table) {
        return;
    }
    const UTF8String typed = rack->GetAnswerBox()->GetText();
    rack->lastWord = typed;
    const std::int32_t n = typed.GetLength();
    if (n != rack->GetLength()) {
        return;
    }
    bool hard = false;
    const std::int32_t result = m_Table->Guess(typed, rack->GetIndex(), hard);
    if (result == CrosswordTable::kShown) {
        Platform::Log("Round %d of %s: %s found\n", static_cast<int>(m_Round), m_ModeName.c_str(),
                      typed.GetString().c_str());
        if (iRoundProfile* profile = Profile()) {
            PushAchievement(profile->CountSolved());
            if (hard) {
                PushAchievement(profile->CountHardSolved());
            }
        }
        if (!rack->scored) {
            m_Score += 10 * n * n;
            rack->scored = true;
        }
        rack->solved = true;
        Play(n == rack->GetLetters().GetLength() ? "SOUND_word_bingo" : "SOUND_word_correct");
        WordAccepted();
        if (AllSolved()) {
            m_Score += kAllWordsBonus;
        }
        SetLabel(m_ScoreLabel, std::to_string(m_Score));
    } else {
        Play("SOUND_word_reject");
        ClearLettersFrom(false);
        PushComment(result == CrosswordTable::kFoundBefore ? kCommentFoundBefore : kCommentNoWord);
    }
    RefreshState();
}

void CrisscrossScene::WordAccepted()
{
    CrosswordRack* rack = GetCurrentRack();
    rack->SetSolved(true);
    if (!AllSolved()) {
        // Nothing is typed into the solved word while the next one comes.
        m_Busy = true;
        Modifier* wait = Run(new ModifierDelay(kNextWordDelay), nullptr, nullptr);
        Call(&CrisscrossScene::NextUnsolvedWord, wait);
    } else {
        m_GameState = kWon;
        SelectWord(0);
        iRoundProfile* profile = Profile();
        for (const auto& [earned, achievement] :
             {std::pair{!m_MivelUsed, kAchievementNoShuffle}, std::pair{!m_WordReopened, kAchievementNoReopen}}) {
            if (earned && profile != nullptr && profile->GetAchievement(achievement) == 0) {
                profile->SetAchievement(achievement, 1);
                PushAchievement(achievement);
            } else {
                PushAchievement(-1);
            }
        }
    }
    RefreshState();
}

void CrisscrossScene::ReopenWord()
{
    CrosswordRack* rack = GetCurrentRack();
    if (rack == nullptr || !rack->solved) {
        return;
    }
    rack->SetSolved(false);
    ClearLettersFrom(false);
    if (m_Table) {
        m_Table->ClearSlot(rack->GetIndex());
    }
    rack->GetRackBox()->SetVisible(true);
    RefreshState();
    UpdateHighlight();
    m_WordReopened = true;
}

// --- input

LetterBox* CrisscrossScene::TypedWordBox() const
{
    CrosswordRack* rack = GetCurrentRack();
    return rack != nullptr ? rack->GetAnswerBox() : nullptr;
}

bool CrisscrossScene::HasTypedLetters() const
{
    const LetterBox* answer = TypedWordBox();
    for (std::int32_t slot = 0; answer != nullptr && slot < answer->GetSlotCount(); ++slot) {
        if (const LetterBall* ball = answer->GetBall(slot); ball != nullptr && !ball->IsPlacedExplicitly()) {
            return true;
        }
    }
    return false;
}

bool CrisscrossScene::OnMoveKey(std::int32_t keyCode)
{
    switch (keyCode) {
    case kKeyTab:
    case kKeyRight:
        NextWord(false);
        return true;
    case kKeyLeft:
        PrevWord();
        return true;
    case kKeyUp:
    case kKeyDown:
        Zoom();
        return true;
    default:
        return false;
    }
}

bool CrisscrossScene::OnLeftButtonDown(MouseMessageData* data)
{
    CrosswordRack* rack = GetCurrentRack();
    if (data == nullptr || rack == nullptr || m_Busy || m_DialogOpen || m_GameState != kPlaying) {
        return false;
    }
    LetterBox* letters = rack->GetRackBox();
    LetterBox* answer = rack->GetAnswerBox();
    if (!rack->solved && answer->GetAllText().GetLength() < answer->GetSlotCount() && letters->IsVisible()) {
        for (std::int32_t slot = 0; slot < letters->GetSlotCount(); ++slot) {
            LetterBall* ball = letters->GetBall(slot);
            if (ball == nullptr || !ball->HitTest(data->x, data->y)) {
                continue;
            }
            std::uint32_t fixed = 0;
            if (answer->GetNextHintLetter(fixed) && !SameLetter(fixed, ball->GetLetter())) {
                PushComment(kCommentFixedLetter);
                return true;
            }
            letters->TakeBallAt(slot);
            PutIntoAnswer(ball, -1);
            Play("SOUND_letter_place");
            AfterBallPlaced();
            return true;
        }
    }
    const std::int32_t typed = answer->GetText().GetLength();
    if (typed > 0) {
        LetterBall* last = answer->GetBall(typed - 1);
        if (last != nullptr && last->HitTest(data->x, data->y)) {
            RemoveLetterFrom(false);
            return true;
        }
    }
    return false;
}

bool CrisscrossScene::OnMouseMove(MouseMessageData* data)
{
    if (data == nullptr) {
        return false;
    }
    bool over = false;
    const bool onBoard = data->x >= kBoardLeft && data->x <= kBoardRight && data->y >= kBoardTop &&
                         data->y <= kBoardBottom;
    if (onBoard) {
        for (const auto& rack : m_Racks) {
            LetterBox* box = rack->GetAnswerBox();
            const PointF local = box->GlobalToLocal(data->x, data->y);
            over = over || box->ContainsPoint(local.x, local.y);
        }
    } else if (CrosswordRack* rack = GetCurrentRack(); rack != nullptr && !rack->solved) {
        for (const auto& ball : rack->GetBalls()) {
            over = over || (rack->GetRackBox()->FindBall(ball.Get()) >= 0 && ball->HitTest(data->x, data->y));
        }
    }
    m_BallCursor.Set(over);
    return over;
}

void CrisscrossScene::OnLetterBoxClick(LetterBox* box, MouseMessageData* click)
{
    OpenBoxDefinition(box, click);
}

bool CrisscrossScene::OpenBoxDefinition(LetterBox* box, MouseMessageData* click)
{
    if (m_Busy || click == nullptr || click->x < kBoardLeft || click->x > kBoardRight || click->y < kBoardTop ||
        click->y > kBoardBottom) {
        // A click on the rack box below the board is a letter for the word.
        if (!m_Busy && click != nullptr && GetCurrentRack() != nullptr &&
            box == GetCurrentRack()->GetRackBox()) {
            return OnLeftButtonDown(click);
        }
        return false;
    }
    for (const auto& rack : m_Racks) {
        if (rack->GetAnswerBox() != box) {
            continue;
        }
        if (m_GameState == kPlaying) {
            if (rack.get() == GetCurrentRack()) {
                OnLeftButtonDown(click);
            } else {
                SelectWord(rack->GetIndex());
            }
            return true;
        }
        const UTF8String& word = m_GameState == kWon ? rack->solvedText : rack->GetHint();
        BasicProperties* properties = BasicProperties::GetInstance();
        const std::string address = AnagramTable::DefinitionAddress(
            properties != nullptr ? properties->GetString("BASE_URL") : std::string(), word.GetString());
        if (!address.empty()) {
            OpenURL(address);
        }
        return false;
    }
    return false;
}

void CrisscrossScene::OnNextRoundButton()
{
    m_PendingDialog = kNextRoundDialog;
}

bool CrisscrossScene::TakesPlayCommands() const
{
    return m_GameState == kPlaying && !m_Busy;
}

void CrisscrossScene::OnPlayCommand(const std::string& name)
{
    if (name == "BUTTON_Zoom") {
        Zoom();
    } else if (name == "BUTTON_NextWord" || name == "BUTTON_NEXTWORD") {
        NextWord(false);
    } else if (name == "BUTTON_PrevWord" || name == "BUTTON_PREVWORD") {
        PrevWord();
    }
}

// --- dialogs, button states and the end of a round

void CrisscrossScene::RefreshState()
{
    Button* buttons[] = {m_MenuButton,   m_MivelButton, m_EnterButton, m_LastWordButton, m_ClearButton,
                         m_NextRoundButton, m_GiveUpButton};
    GameNode* moves[] = {m_NextWordButton, m_PrevWordButton, m_ZoomButton};
    const auto enable = [](GameNode* node, bool enabled) {
        if (node != nullptr && node->IsOfType(&Button::s_Type)) {
            static_cast<Button*>(node)->SetEnabled(enabled);
        }
    };
    if (m_DialogOpen || m_Busy) {
        for (Button* button : buttons) {
            enable(button, false);
        }
        for (GameNode* node : moves) {
            enable(node, false);
        }
        return;
    }
    enable(m_MenuButton, true);
    SetButton(m_PassButton, false, false);
    SetButton(m_PassButton2, false, false);
    CrosswordRack* rack = GetCurrentRack();
    if (rack == nullptr || AllSolved()) {
        for (Button* button : {m_MivelButton, m_EnterButton, m_LastWordButton, m_ClearButton}) {
            enable(button, false);
        }
        for (GameNode* node : moves) {
            enable(node, false);
        }
        SetButton(m_NextRoundButton, false, false);
        SetButton(m_GiveUpButton, true, false);
        return;
    }
    // A solved word's letters are all the player's; an open word's fixed
    // crossing letters are not, and neither Enter nor Clear acts on them.
    const bool typed = rack->solved ? !rack->GetAnswerBox()->GetAllText().IsEmpty() : HasTypedLetters();
    enable(m_MivelButton, !rack->solved && rack->GetRackBox()->GetAllText().GetLength() >= 2);
    enable(m_EnterButton, !rack->solved && typed);
    enable(m_LastWordButton, !typed && !rack->lastWord.IsEmpty());
    enable(m_ClearButton, typed);
    for (GameNode* node : moves) {
        enable(node, m_GameState == kPlaying);
    }
    SetButton(m_NextRoundButton, false, false);
    SetButton(m_GiveUpButton, true, m_GameState == kPlaying);
}

void CrisscrossScene::PassOrGiveUp()
{
    GiveUpConfirmed();
}

void CrisscrossScene::GiveUpConfirmed()
{
    if (Dialog* question = FindDialog("TEXT_DIALOG_GIVEUP")) {
        CloseDialog(question);
    }
    m_GameState = kLost;
    m_ScoreOwed = true;
    DeleteSavedGame();
    // The reveal and the end of the game run while the dialog flag holds.
    SelectWord(0);
}

void CrisscrossScene::EndOfRoundAnimation()
{
    m_Busy = true;
    RefreshState();
    ShowBoxLetters(false);
    if (m_Racks.empty()) {
        AfterZoomOutAtEnd();
        return;
    }
    // The whole crossword: its middle slides to the window's middle while
    // the board scales to the whole crossword's scale, or below where the
    // crossword would reach past the clear window. Both run in step, so
    // every point of the board goes in a straight line from where it was,
    // and what was seen whole stays whole.
    const auto reachOfAll = [this](const PointF& at, float rotation) {
        std::vector<PointF> reach;
        for (std::int32_t word = 0; word < static_cast<std::int32_t>(m_Racks.size()); ++word) {
            AddReach(reach, word, at, rotation);
        }
        return reach;
    };
    const std::vector<PointF> corners = reachOfAll(PointF(0.0f, 0.0f), 0.0f);
    PointF low = corners.front();
    PointF high = corners.front();
    for (const PointF& c : corners) {
        low = PointF(std::min(low.x, c.x), std::min(low.y, c.y));
        high = PointF(std::max(high.x, c.x), std::max(high.y, c.y));
    }
    const PointF middle(std::floor((low.x + high.x) * 0.5f), std::floor((low.y + high.y) * 0.5f));
    const float whole = Fit(reachOfAll(middle, m_Board->GetRotation()), kZoomedOut);
    PivotAt(middle);
    Run(new ModifierLocationLine(kZoomTime, kWordCentreX - middle.x, kWordCentreY - middle.y, false, true), nullptr,
        m_Board);
    const float scale = BoardScale();
    auto* zoom = new ModifierScale(kZoomTime, SmoothStepEase);
    zoom->SetFrom(scale, scale);
    zoom->SetTo(whole, whole);
    Call(&CrisscrossScene::AfterZoomOutAtEnd, Run(zoom, nullptr, m_Board));
}

void CrisscrossScene::AfterZoomOutAtEnd()
{
    m_Busy = true;
    Modifier* last = nullptr;
    if (m_GameState == kWon) {
        Play("SOUND_letter_sheen");
        for (const auto& rack : m_Racks) {
            last = Attach(new ModifierMethodParam<CrisscrossScene, LetterBox*>(this, &CrisscrossScene::SheenBox,
                                                                                rack->GetAnswerBox()),
                          last);
            last = Run(new ModifierDelay(kSheenStep), last, nullptr);
        }
        last = Run(new ModifierDelay(kSheenDelay), last, nullptr);
        Call(&CrisscrossScene::OnEndSheenDone, last);
        return;
    }
    // Given up: each word shows its missing letters in its boxes, one word
    // after the other.
    Play("SOUND_word_pass_reveal");
    for (const auto& rack : m_Racks) {
        last = Run(new ModifierDelay(kRevealStep), last, nullptr);
        last = Modifier::AttachTo(new ModifierMethodParam<CrisscrossScene, LetterBox*>(
                                      this, &CrisscrossScene::RevealBox, rack->GetAnswerBox()),
                                  last);
    }
    last = Run(new ModifierDelay(kRevealDelay), last, nullptr);
    Call(&CrisscrossScene::OnEndRevealDone, last);
}

void CrisscrossScene::SheenBox(LetterBox* box)
{
    box->PlaySheen();
}

void CrisscrossScene::RevealBox(LetterBox* box)
{
    for (std::int32_t i = 0; i < box->GetSlotCount(); ++i) {
        if (box->GetBall(i) == nullptr) {
            box->ShowHintAt(i, false);
        }
    }
}

void CrisscrossScene::OnEndSheenDone()
{
    m_Busy = false;
    m_PendingDialog = kNextRoundDialog;
}

void CrisscrossScene::OnEndRevealDone()
{
    m_Busy = false;
    EndRound();
}

bool CrisscrossScene::EnterFinalScore(bool congratulate)
{
    // The entry: the player, the score, the mode, no clock, and the round
    // reached in the free column; only into a table the scores already have.
    return EnterHighScore("crossword", false, GameMode::kCrisscross, 0, std::to_string(m_Round), congratulate);
}

void CrisscrossScene::EndRound()
{
    m_DialogOpen = true;
    if (OfferOwedScore()) {
        return;
    }
    if (OpenDialog("DIALOG_ENDGAME") == nullptr) {
        m_DialogOpen = false;
    }
}

void CrisscrossScene::SaveGameInProgress()
{
    KeepOwedScore();
    if (m_Racks.empty()) {
        return;
    }
    if (m_GameState == kPlaying) {
        SaveRound();
        return;
    }
    // Every word found: the game goes on, so it is kept as the start of its
    // next round with the score carried. A game given up is over.
    if (m_GameState == kWon) {
        NextRound();
        SaveRound();
    }
}

// --- saving

void CrisscrossScene::SaveRound()
{
    PlayerManager* players = PlayerManager::GetInstance();
    AbstractPlayer* player = CurrentPlayer();
    if (players == nullptr || player == nullptr || m_Racks.empty() || !m_Table) {
        return;
    }
    players->SavePlayers();
    CrisscrossRoundSave save;
    save.round = m_Round;
    save.time = std::max(m_TimeLeft, 0);
    save.score = m_Score;
    save.word = m_Racks[0]->GetLetters();
    save.current = m_Current;
    for (const auto& rack : m_Racks) {
        CrisscrossRoundSave::Rack saved;
        saved.source = rack->GetLetters();
        saved.hint = rack->GetHint();
        saved.played = rack->solved ? rack->solvedText : UTF8String();
        saved.length = rack->GetLength();
        saved.scored = rack->scored;
        save.racks.push_back(saved);
    }
    save.table = m_Table->Save();
    WriteSavedGame(save.ToNode());
}

void CrisscrossScene::LoadRound()
{
    SmartPtr<CrosswordTable> table(new CrosswordTable(0.0f, 0.0f));
    CrisscrossRoundSave save;
    if (!TakeSavedGame([&](PropertyNode& game, std::string& why) {
            return CrisscrossRoundSave::Read(game, *m_WordTree, *table, save, why);
        })) {
        StartRound(1, nullptr);
        return;
    }
    DropRoundSteps();
    m_DialogOpen = false;
    m_Busy = false;
    m_GameState = kPlaying;
    m_PassCount = kPassesPerGame - 1;
    m_Round = save.round;
    m_TimeLeft = save.time;
    m_Score = save.score;
    m_MivelUsed = false;
    m_WordReopened = false;
    SetLabel(m_RoundLabel, std::to_string(m_Round));
    SetLabel(m_ScoreLabel, std::to_string(m_Score));
    InstallTable(table);
    CrosswordDealer::HandWords(*m_Table, *m_WordTree, *m_SecondWordTree, save.word);
    Platform::Log("Round %d of CROSSWORD restored: the source word is %s\n", static_cast<int>(m_Round),
                  save.word.GetString().c_str());

    DeleteRacks();
    const auto& placements = m_Table->GetPlacements();
    for (std::size_t i = 0; i < save.racks.size(); ++i) {
        const CrisscrossRoundSave::Rack& saved = save.racks[i];
        auto rack = std::make_unique<CrosswordRack>(this, saved.source, saved.length, static_cast<std::int32_t>(i),
                                                    &saved.played, placements[i]->horizontal);
        rack->SetHint(saved.hint);
        rack->scored = saved.scored;
        AddRack(std::move(rack));
    }
    // The round opens where it was left; a solved word there takes no
    // typing, so the first word still to find opens instead.
    std::int32_t current = save.current;
    if (m_Racks[current]->solved) {
        const auto unsolved =
            std::find_if(m_Racks.begin(), m_Racks.end(), [](const auto& rack) { return !rack->solved; });
        current = unsolved != m_Racks.end() ? static_cast<std::int32_t>(unsolved - m_Racks.begin()) : current;
    }
    ShowWord(current);
}

const char* CrisscrossScene::NextRoundBodyKey() const
{
    return "TEXT_NEXT_ROUND_BODY_CRISSCROSS";
}
