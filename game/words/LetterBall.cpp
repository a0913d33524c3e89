#include "game/words/LetterBall.h"

#include <algorithm>

#include "framework/core/files/ResourceManager.h"
#include "framework/core/util/AnchorPoint.h"
#include "framework/scene/ModifierDelay.h"
#include "framework/scene/ModifierFrame.h"
#include "framework/scene/ModifierLocationLine.h"
#include "framework/scene/ModifierMethod.h"
#include "framework/scene/ModifierScale.h"
#include "game/words/GameSound.h"
#include "game/words/ModifierLetterballContainer.h"

using namespace Qmv2;

namespace {

constexpr const char* kBallSection = "gamescene";
constexpr std::int32_t kTurnFrames = 5;
constexpr std::int32_t kTurnFrameTime = 60;
constexpr std::int32_t kRollInFrames = 11;
constexpr std::int32_t kRollInFrameTime = 60;
// A ball that lands in a half-size box is shown at full size there.
constexpr float kBoxScale = 0.5f;

Image* BallImage(const char* name)
{
    ResourceManager* resources = ResourceManager::GetInstance();
    return resources != nullptr ? resources->GetImage(name, kBallSection) : nullptr;
}

Sprite* MakeChild(LetterBall& ball, const char* image, std::int32_t frame)
{
    auto* child = new Sprite(0.0f, 0.0f, BallImage(image));
    child->SetAnchor(AnchorPoint::Center);
    child->SetFrame(frame);
    child->SetVisible(false);
    ball.AddChild(child);
    return child;
}

// Puts `modifier` under `parent` in the animation tree, aimed at `target`, so
// that it leaves the tree with its target.
Modifier* BallChain(Modifier* modifier, Modifier* parent, GameNode* target)
{
    modifier->SetTarget(target);
    return Modifier::AttachTo(modifier, parent);
}

}  // namespace

std::int32_t LetterIndex(std::uint32_t c)
{
    if (c >= 'a' && c <= 'z') {
        return static_cast<std::int32_t>(c - 'a');
    }
    if (c >= 'A' && c <= 'Z') {
        return static_cast<std::int32_t>(c - 'A');
    }
    if (c >= 192 && c <= 214) {
        return static_cast<std::int32_t>(c - 192 + 27);
    }
    if (c >= 224 && c <= 246) {
        return static_cast<std::int32_t>(c - 224 + 27);
    }
    if (c >= 217 && c <= 221) {
        return static_cast<std::int32_t>(c - 217 + 50);
    }
    if (c >= 249 && c <= 253) {
        return static_cast<std::int32_t>(c - 249 + 50);
    }
    if (c == 140 || c == 156 || c == 159 || c == 223 || c == 255) {
        return 56;
    }
    return 0;
}

LetterBall::LetterBall(std::uint32_t letter, bool small)
    : Sprite(0.0f, 0.0f, BallImage("IMAGE_LETTERBALL_ANIM")), m_Letter(letter)
{
    SetAnchor(AnchorPoint::Center);
    SetFrame(GetBaseFrame());
    m_Sheen = MakeChild(*this, "IMAGE_CHICKLET_SHEEN", 0);
    // The overlay sheets are drawn at the ball's size, so the letter needs no
    // scaling of its own.
    m_LetterOverlay = MakeChild(*this, small ? "IMAGE_LETTERBALL_40" : "IMAGE_LETTERBALL_50",
                                GetBaseFrame() + kOverlayFirstFrame);
}

LetterBall::~LetterBall() = default;

void LetterBall::SetSelected(bool selected)
{
    m_Selected = selected;
    for (Sprite* sprite : {static_cast<Sprite*>(this), m_LetterOverlay}) {
        const std::int32_t from = sprite->GetFrame();
        const std::int32_t to = selected ? from + kTurnFrames : std::max(from - kTurnFrames, 0);
        sprite->AddModifier(new ModifierFrame(1, kTurnFrameTime, from, to, !selected, false));
    }
}

void LetterBall::FinishMove()
{
    if (m_Move) {
        SmartPtr<Modifier> move = m_Move;
        ModifierLetterballContainer::FinishSubtree(move.Get());
        // A move whose callbacks were cancelled never reports back.
        if (m_Move == move) {
            m_Move = nullptr;
        }
    }
}

void LetterBall::MoveTo(Modifier* tree, float x, float y, GameNode* newParent, float scale)
{
    FinishMove();
    if (tree == nullptr) {
        return;
    }
    if (newParent == nullptr) {
        auto* line = new ModifierLocationLine(kMoveDuration, x, y, false, false);
        m_Move = BallChain(line, tree, this);
        BallChain(new ModifierMethod<LetterBall>(this, &LetterBall::OnMoveFinished), line, this);
        return;
    }
    auto* group = new ModifierLetterballContainer("LB_ANIM");
    m_Move = Modifier::AttachTo(group, tree);
    BallChain(new ModifierLocationLine(kMoveDuration, x, y, false, false), group, this);
    auto* grow = new ModifierScale(kMoveDuration);
    grow->SetFrom(GetScaleX(), GetScaleY());
    grow->SetTo(scale, scale);
    Modifier* last = BallChain(grow, group, this);
    const bool intoHalfBox = scale == kBoxScale;
    if (intoHalfBox) {
        last = BallChain(new ModifierMethod<LetterBall>(this, &LetterBall::RestoreScale), last, this);
    }
    last = BallChain(new ModifierMethodParam<LetterBall, GameNode*>(this, &LetterBall::Reparent, newParent), last, this);
    if (intoHalfBox) {
        last = BallChain(new ModifierMethod<LetterBall>(this, &LetterBall::ShowOverlay), last, this);
    }
    BallChain(new ModifierMethod<LetterBall>(this, &LetterBall::OnMoveFinished), last, this);
}

void LetterBall::PlayLoadAnimation(std::int32_t delay, bool withSound)
{
    AddModifier(new ModifierDelay(delay));
    const std::int32_t base = GetBaseFrame();
    auto* roll = new ModifierFrame(1, kRollInFrameTime, base, base + kRollInFrames, false, false);
    roll->SetOptions(Modifier::kOptionBlocking);
    AddModifier(roll);
    if (withSound) {
        AddModifier(new ModifierMethod<LetterBall>(this, &LetterBall::PlayLoadSound));
    }
}

void LetterBall::ShowOverlay()
{
    if (m_LetterOverlay != nullptr) {
        m_LetterOverlay->SetVisible(true);
    }
}

void LetterBall::OnMoveFinished()
{
    m_Move = nullptr;
    ShowOverlay();
}

void LetterBall::Reparent(GameNode* node)
{
    if (node == nullptr || node == GetParent()) {
        return;
    }
    const PointF onScreen = GetGlobalMatrix(nullptr, false).Map(GetPosition());
    // The ball stays alive while it changes hands.
    SmartPtr<LetterBall> self(this);
    node->AddChild(this);
    if (GetParent() == node) {
        const PointF local = node->GetInverseGlobalMatrix(nullptr, true).Map(onScreen);
        SetPosition(local.x, local.y);
    }
}

void LetterBall::RestoreScale()
{
    SetScale(1.0f);
}

void LetterBall::PlayLoadSound()
{
    PlayGameSound("SOUND_letter_load");
}
