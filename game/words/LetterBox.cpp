#include "game/words/LetterBox.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "framework/core/app/MessageData.h"
#include "framework/core/files/ResourceManager.h"
#include "framework/core/util/AnchorPoint.h"
#include "framework/scene/AnimTree.h"
#include "framework/scene/ModifierAlpha.h"
#include "framework/scene/ModifierFrame.h"
#include "framework/scene/ModifierVisible.h"
#include "framework/scene/Scene.h"
#include "game/words/LetterBall.h"

using namespace Qmv2;

namespace {

constexpr const char* kSection = "gamescene";
constexpr float kVertical = -1.5707964f;
constexpr float kHighlightX = -11.0f;
constexpr float kHighlightY = -9.0f;
constexpr std::int32_t kHighlightFrameOffset = 3;
constexpr std::int32_t kSheenFrameTime = 100;

Image* GameImage(const char* name)
{
    ResourceManager* resources = ResourceManager::GetInstance();
    return resources != nullptr ? resources->GetImage(name, kSection) : nullptr;
}

Sprite* SlotChild(LetterBox& box, const char* image, std::int32_t slot, float scale, bool visible)
{
    auto* sprite = new Sprite(LetterBox::SlotCentre(slot), LetterBox::kSlotCentre, GameImage(image));
    sprite->SetAnchor(AnchorPoint::Center);
    sprite->SetScale(scale);
    sprite->SetVisible(visible);
    box.AddChild(sprite);
    return sprite;
}

// The C library's generator, as the standard shuffle wants it.
struct CRandom {
    using result_type = unsigned int;
    static constexpr result_type min() { return 0; }
    static constexpr result_type max() { return RAND_MAX; }
    result_type operator()() const { return static_cast<result_type>(std::rand()); }
};

}  // namespace

void SetClampedFrame(Sprite& sprite, std::int32_t frame)
{
    const Image* image = sprite.GetImageSet();
    const std::int32_t last = image != nullptr ? image->GetFrameCount() - 1 : 0;
    sprite.SetFrame(std::clamp(frame, 0, std::max(last, 0)));
}

LetterBox::LetterBox(Scene* owner, std::int32_t count, bool crosswordLook, bool fromRight)
    : Sprite(0.0f, 0.0f, nullptr), slotCount(std::max(count, 0)), scene(owner), fillFromRight(fromRight)
{
    SetSize(kSlotPitch * static_cast<float>(slotCount), kSlotPitch);
    for (std::int32_t i = 0; i < slotCount; ++i) {
        balls.PushBack(nullptr);
        slotSprites.PushBack(SlotChild(*this, crosswordLook ? "XwordBox" : "LetterBox", i, 1.0f, true));
        dots.PushBack(SlotChild(*this, crosswordLook ? "IMAGE_XBOX" : "IMAGE_BLITZDOT", i,
                                crosswordLook ? 2.0f : 2.5f, false));
        if (crosswordLook) {
            overlays.PushBack(SlotChild(*this, "IMAGE_XWORD_OVERLAY", i, 1.0f, true));
        }
        Sprite* hint = SlotChild(*this, "IMAGE_HINT_LETTERS", i, 1.0f, false);
        hint->SetName("HINT_LETTER");
        hintLetters.PushBack(hint);
    }
    highlight = new Sprite(kHighlightX, kHighlightY, GameImage("IMAGE_CROSSWORDHIGHLIGHT"));
    highlight->SetVisible(false);
    SetClampedFrame(*highlight, slotCount + kHighlightFrameOffset);
    AddChild(highlight);
}

LetterBox::~LetterBox() = default;

Interface* LetterBox::GetInterface(const ClassType* type)
{
    if (type == &iInputListener::s_Type) {
        return static_cast<iInputListener*>(this);
    }
    return Sprite::GetInterface(type);
}

Modifier* LetterBox::Animations() const
{
    if (scene != nullptr && scene->GetAnimations() != nullptr) {
        return scene->GetAnimations();
    }
    return AnimTree::GetInstance();
}

LetterBall* LetterBox::GetBall(std::int32_t slot) const
{
    return slot >= 0 && slot < slotCount ? balls[slot] : nullptr;
}

std::int32_t LetterBox::FindBall(const LetterBall* ball) const
{
    for (std::int32_t i = 0; i < slotCount; ++i) {
        if (ball != nullptr && balls[i] == ball) {
            return i;
        }
    }
    return -1;
}

bool LetterBox::DrawnAfter(const GameNode* other) const
{
    if (other == nullptr || other->GetParent() == nullptr || other->GetParent() != GetParent()) {
        return false;
    }
    for (const GameNode* next = other->GetNextSibling(); next != nullptr; next = next->GetNextSibling()) {
        if (next == this) {
            return true;
        }
    }
    return false;
}

bool LetterBox::PlaceBall(LetterBall* ball, bool animate, std::int32_t slot, float scale)
{
    if (ball == nullptr || slot >= slotCount) {
        return false;
    }
    const bool named = slot >= 0;
    if (!named) {
        for (std::int32_t k = 0; k < slotCount && slot < 0; ++k) {
            const std::int32_t i = fillFromRight ? slotCount - 1 - k : k;
            if (balls[i] == nullptr) {
                slot = i;
            }
        }
        if (slot < 0) {
            return false;
        }
    } else if (balls[slot] != nullptr) {
        return false;
    }
    balls[slot] = ball;
    Modifier* tree = Animations();
    if (!animate || tree == nullptr) {
        ball->FinishMove();
        AddChild(ball);
        ball->SetPosition(SlotCentre(slot), kSlotCentre);
        if (scale != 1.0f && ball->GetLetterOverlay() != nullptr) {
            ball->GetLetterOverlay()->SetVisible(true);
        }
    } else {
        // A move still on its way ends first, so the ball stands in the box
        // it was last sent to before this move is measured from there.
        // A ball that shows its letter keeps it on the way: its own frames
        // carry none, so hiding the letter would fly a blank ball.
        ball->FinishMove();
        // Coming from a box drawn before this one, the ball flies as this
        // box's child already, so that this box's slots do not hide it on
        // its way in.
        if (scale == 1.0f && DrawnAfter(ball->GetParent())) {
            ball->Reparent(this);
        }
        // The move runs in screen coordinates, the parent's space of the ball
        // until it lands here.
        GameNode* parent = ball->GetParent();
        const PointF onScreen = LocalToGlobal(SlotCentre(slot), kSlotCentre);
        const PointF target = parent != nullptr ? parent->GlobalToLocal(onScreen.x, onScreen.y) : onScreen;
        ball->MoveTo(tree, target.x, target.y, this, scale);
    }
    ball->SetPlacedExplicitly(named);
    return true;
}

LetterBall* LetterBox::TakeBall(std::uint32_t letter)
{
    const std::string lower = CodePointToLower(letter);
    for (std::int32_t i = 0; i < slotCount; ++i) {
        LetterBall* ball = balls[i];
        if (ball != nullptr && (ball->GetLetter() == letter || CodePointToLower(ball->GetLetter()) == lower)) {
            balls[i] = nullptr;
            return ball;
        }
    }
    return nullptr;
}

LetterBall* LetterBox::TakeBallAt(std::int32_t slot)
{
    if (slot < 0 || slot >= slotCount) {
        return nullptr;
    }
    LetterBall* ball = balls[slot];
    balls[slot] = nullptr;
    return ball;
}

LetterBall* LetterBox::TakeLastBall(bool force)
{
    for (std::int32_t i = slotCount - 1; i >= 0; --i) {
        LetterBall* ball = balls[i];
        if (ball == nullptr || (ball->IsPlacedExplicitly() && !force)) {
            continue;
        }
        balls[i] = nullptr;
        ball->SetPlacedExplicitly(false);
        if (ball->IsSelected()) {
            ball->SetSelected(false);
        }
        return ball;
    }
    return nullptr;
}

UTF8String LetterBox::GetText() const
{
    UTF8String text;
    for (std::int32_t i = 0; i < slotCount && balls[i] != nullptr; ++i) {
        text.AppendChar(balls[i]->GetLetter());
    }
    return text;
}

UTF8String LetterBox::GetAllText() const
{
    UTF8String text;
    for (LetterBall* ball : balls) {
        if (ball != nullptr) {
            text.AppendChar(ball->GetLetter());
        }
    }
    return text;
}

bool LetterBox::GetPattern(UTF8String& pattern) const
{
    pattern = UTF8String();
    bool any = false;
    for (LetterBall* ball : balls) {
        if (ball != nullptr && ball->IsPlacedExplicitly()) {
            pattern.AppendChar(ball->GetLetter());
            any = true;
        } else {
            pattern.AppendChar('*');
        }
    }
    return any;
}

bool LetterBox::GetNextHintLetter(std::uint32_t& letter) const
{
    for (std::int32_t i = 0; i < slotCount; ++i) {
        if (balls[i] != nullptr) {
            continue;
        }
        if (!hintLetters[i]->IsVisible() || i >= hintWord.GetLength()) {
            return false;
        }
        letter = hintWord.GetCodePointAt(hintWord.GetByteOffset(i));
        return true;
    }
    return false;
}

void LetterBox::Mivel(const UTF8String& word, bool animate)
{
    const UTF8String before = GetAllText();
    std::vector<std::uint32_t> letters;
    for (LetterBall* ball : balls) {
        if (ball != nullptr) {
            if (ball->GetMove() != nullptr) {
                return;
            }
            letters.push_back(ball->GetLetter());
        }
    }
    if (letters.size() < 2 || std::all_of(letters.begin(), letters.end(), [&](std::uint32_t c) { return c == letters[0]; })) {
        return;
    }
    // A word whose every other order is `word` (a two-letter source) can
    // never differ from both; after enough tries one that differs from
    // before will do.
    GFVector<LetterBall*> fallback;
    for (std::int32_t attempt = 0; attempt < kMaxShuffles; ++attempt) {
        std::shuffle(balls.begin(), balls.end(), CRandom());
        const UTF8String now = GetAllText();
        if (now != before) {
            if (now != word) {
                fallback.Clear();
                break;
            }
            if (fallback.IsEmpty()) {
                fallback = balls;
            }
        }
    }
    if (!fallback.IsEmpty()) {
        balls = fallback;
    }
    Arrange(animate);
}

void LetterBox::Arrange(bool animate)
{
    Modifier* tree = Animations();
    for (std::int32_t i = 0; i < slotCount; ++i) {
        LetterBall* ball = balls[i];
        if (ball == nullptr) {
            continue;
        }
        if (animate && tree != nullptr) {
            ball->MoveTo(tree, SlotCentre(i), kSlotCentre, nullptr, 1.0f);
        } else {
            ball->SetPosition(SlotCentre(i), kSlotCentre);
        }
    }
}

void LetterBox::Realign()
{
    Arrange(true);
}

void LetterBox::SetSelected(bool selected)
{
    for (LetterBall* ball : balls) {
        if (ball != nullptr) {
            ball->SetSelected(selected);
        }
    }
}

void LetterBox::PlayLoadAnimation(bool withSound)
{
    std::int32_t delay = 0;
    for (LetterBall* ball : balls) {
        if (ball != nullptr) {
            ball->PlayLoadAnimation(delay, withSound);
            delay += kLoadStagger;
        }
    }
}

std::int32_t LetterBox::ShowHint()
{
    for (std::int32_t i = 0; i < slotCount; ++i) {
        if (!hintLetters[i]->IsVisible()) {
            return ShowHintAt(i);
        }
    }
    return -1;
}

std::int32_t LetterBox::ShowHintAt(std::int32_t index, bool faint)
{
    if (index < 0 || index >= slotCount) {
        return -1;
    }
    Sprite* hint = hintLetters[index];
    const std::uint32_t letter =
        index < hintWord.GetLength() ? hintWord.GetCodePointAt(hintWord.GetByteOffset(index)) : 0;
    const Image* image = hint->GetImageSet();
    const std::int32_t last = image != nullptr ? std::max(image->GetFrameCount() - 1, 0) : 0;
    const std::int32_t frame = std::clamp(static_cast<std::int32_t>(letter) - 0x60, 0, last);
    if (!faint) {
        hint->SetAlpha(1.0f);
    }
    Modifier* tree = Animations();
    if (tree == nullptr) {
        hint->SetFrame(frame);
        hint->SetVisible(true);
        return index;
    }
    auto* setFrame = new ModifierFrame(frame);
    setFrame->SetTarget(hint);
    Modifier::AttachTo(setFrame, tree);
    auto* show = new ModifierVisible(1);
    show->SetTarget(hint);
    Modifier::AttachTo(show, setFrame);
    if (faint) {
        auto* fade = new ModifierAlpha(kHintFadeTime, 1.0f, kHintAlpha);
        fade->SetTarget(hint);
        Modifier::AttachTo(fade, setFrame);
    }
    // Shown at once, so that the next hint goes to the next slot.
    hint->SetVisible(true);
    return index;
}

void LetterBox::SetMarkersHidden(bool hide)
{
    for (LetterBall* ball : balls) {
        if (ball != nullptr && ball->GetLetterOverlay() != nullptr) {
            ball->GetLetterOverlay()->SetVisible(!hide);
        }
    }
    for (Sprite* dot : dots) {
        dot->SetVisible(!hide);
    }
}

void LetterBox::RotateVertical()
{
    for (auto* group : {&slotSprites, &dots, &overlays, &hintLetters}) {
        for (Sprite* sprite : *group) {
            sprite->SetRotation(kVertical);
        }
    }
}

void LetterBox::PlaySheen()
{
    for (LetterBall* ball : balls) {
        Sprite* sheen = ball != nullptr ? ball->GetSheen() : nullptr;
        if (sheen == nullptr) {
            continue;
        }
        sheen->SetVisible(true);
        const Image* image = sheen->GetImageSet();
        const std::int32_t last = image != nullptr ? std::max(image->GetFrameCount() - 1, 0) : 0;
        sheen->AddModifier(new ModifierFrame(1, kSheenFrameTime, 0, last, false, false));
    }
}

void LetterBox::RefreshFrames()
{
    for (LetterBall* ball : balls) {
        if (ball == nullptr) {
            continue;
        }
        ball->SetFrame(ball->GetFrame() + LetterBall::kFramesPerLetter - 1);
        if (ball->GetLetterOverlay() != nullptr) {
            ball->GetLetterOverlay()->SetFrame(ball->GetFrame());
        }
    }
}

bool LetterBox::ContainsPoint(float x, float y) const
{
    return x >= 0.0f && x <= kSlotPitch * static_cast<float>(slotCount) && y >= 0.0f && y < kSlotPitch;
}

bool LetterBox::OnLeftButtonDown(MouseMessageData* click)
{
    if (click == nullptr) {
        return false;
    }
    const PointF local = GlobalToLocal(click->x, click->y);
    if (!ContainsPoint(local.x, local.y)) {
        return false;
    }
    if (auto* owner = dynamic_cast<iLetterBoxOwner*>(scene)) {
        owner->OnLetterBoxClick(this, click);
    }
    return true;
}
