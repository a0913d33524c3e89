// A row of slots that hold letter balls: the rack row where the balls of the
// source word wait, and the answer row where the typed word is built. It
// places and takes balls, reads the typed word, shuffles its balls, shows
// hint letters and tells its owner which box was clicked.
#pragma once

#include <cstdint>
#include <string>

#include "framework/core/app/iInputListener.h"
#include "framework/core/object/GFVector.h"
#include "framework/core/util/UTF8String.h"
#include "framework/scene/Sprite.h"
#include "game/words/WordsRecords.h"

namespace Qmv2 {
class Modifier;
class Scene;
}  // namespace Qmv2

class LetterBall;
class LetterBox;

// What a box asks of the scene that holds it: a click inside the box.
class iLetterBoxOwner {
public:
    virtual ~iLetterBoxOwner() = default;
    virtual void OnLetterBoxClick(LetterBox* box, Qmv2::MouseMessageData* click) = 0;
};

class LetterBox : public Qmv2::Sprite, public Qmv2::iInputListener {
    QMV_INDEXED_TYPE(LetterBox)

    static constexpr float kSlotPitch = 69.0f;
    static constexpr float kSlotCentre = 34.5f;
    // Hint letters fade to this alpha once shown.
    static constexpr float kHintAlpha = 0.392f;
    static constexpr std::int32_t kHintFadeTime = 500;
    static constexpr std::int32_t kLoadStagger = 120;
    // Shuffles tried before settling for one that only differs from before.
    static constexpr std::int32_t kMaxShuffles = 1000;

    // `scene` runs the box's animations (the global tree when null) and,
    // when it is an iLetterBoxOwner, hears clicks.
    LetterBox(Qmv2::Scene* scene, std::int32_t slotCount, bool crosswordLook, bool fillFromRight);
    ~LetterBox() override;

    Qmv2::Interface* GetInterface(const Qmv2::ClassType* type) override;
    Qmv2::BaseObject* GetOwner() override { return this; }

    // Whether this box is drawn after `other`, a box beside it under one
    // parent.
    bool DrawnAfter(const Qmv2::GameNode* other) const;
    // Puts a ball into `slot` (the first empty one when negative); false when
    // no slot is free or `slot` is out of range or taken.
    bool PlaceBall(LetterBall* ball, bool animate, std::int32_t slot, float scale);
    // Removes the first ball with that letter (either case); null when none.
    LetterBall* TakeBall(std::uint32_t letter);
    // Removes the ball of that slot; null when it is empty or out of range.
    LetterBall* TakeBallAt(std::int32_t slot);
    // Removes the ball of the last filled slot; balls placed into an explicit
    // slot are kept unless `force`. The ball comes back unselected.
    LetterBall* TakeLastBall(bool force);

    // Letters from the first slot up to the first empty one.
    Qmv2::UTF8String GetText() const;
    // Letters of every filled slot in slot order.
    Qmv2::UTF8String GetAllText() const;
    // One character per slot: the letter of an explicitly placed ball, "*"
    // otherwise; answers whether any such letter stands in it.
    bool GetPattern(Qmv2::UTF8String& pattern) const;
    // The hint letter at the first empty slot, when it is showing.
    bool GetNextHintLetter(std::uint32_t& letter) const;

    // Shuffles the balls so that the letters read neither as before nor as
    // `word`; does nothing for fewer than two balls, all-equal letters or a
    // ball still moving.
    void Mivel(const Qmv2::UTF8String& word, bool animate);
    void Realign();
    void SetSelected(bool selected);
    void PlayLoadAnimation(bool withSound);
    // Shows the next hint letter; its slot, or -1 when all show.
    std::int32_t ShowHint();
    // A hint fades to kHintAlpha, a ghost of the letter to type; a letter
    // revealed at the end of a round stays at full strength, to be read.
    std::int32_t ShowHintAt(std::int32_t index, bool faint = true);
    void SetMarkersHidden(bool hide);
    void RotateVertical();
    void PlaySheen();
    void RefreshFrames();

    // Whether the point, in box coordinates, lies in the row of slots.
    bool ContainsPoint(float x, float y) const;
    bool OnLeftButtonDown(Qmv2::MouseMessageData* click) override;

    std::int32_t GetSlotCount() const noexcept { return slotCount; }
    LetterBall* GetBall(std::int32_t slot) const;
    // The slot holding the ball, -1 when it is not in this box.
    std::int32_t FindBall(const LetterBall* ball) const;
    Qmv2::Sprite* GetHintLetter(std::int32_t slot) const { return hintLetters[slot]; }
    Qmv2::Sprite* GetDot(std::int32_t slot) const { return dots[slot]; }
    Qmv2::Sprite* GetHighlight() const noexcept { return highlight; }
    void SetHintWord(const Qmv2::UTF8String& word) { hintWord = word; }
    const Qmv2::UTF8String& GetHintWord() const noexcept { return hintWord; }
    static float SlotCentre(std::int32_t slot) { return static_cast<float>(slot) * kSlotPitch + kSlotCentre; }

private:
    Qmv2::Modifier* Animations() const;
    void Arrange(bool animate);

    std::int32_t slotCount;
    Qmv2::GFVector<LetterBall*> balls;
    Qmv2::GFVector<Qmv2::Sprite*> slotSprites;
    Qmv2::GFVector<Qmv2::Sprite*> dots;
    Qmv2::GFVector<Qmv2::Sprite*> overlays;
    Qmv2::GFVector<Qmv2::Sprite*> hintLetters;
    Qmv2::UTF8String hintWord;
    Qmv2::Sprite* highlight = nullptr;
    Qmv2::Scene* scene;
    bool fillFromRight;
};

// Sets a sprite's frame, held to the frames its sheet has.
void SetClampedFrame(Qmv2::Sprite& sprite, std::int32_t frame);
