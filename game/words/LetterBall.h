// One letter of a rack: a round tile showing its letter. It turns when
// selected, flies between rows (optionally into a new parent, scaling on the
// way), rolls in when a round starts and can show a sheen.
#pragma once

#include <cstdint>

#include "framework/core/object/SmartPtr.h"
#include "framework/scene/Sprite.h"
#include "game/words/WordsRecords.h"

namespace Qmv2 {
class Modifier;
}

// The letter's row in the letter sheets: a..z and A..Z 0..25, the accented
// Latin-1 capitals and small letters 27..54, the ligatures and the sharp s 56,
// anything else 0.
std::int32_t LetterIndex(std::uint32_t codePoint);

class LetterBall : public Qmv2::Sprite {
    QMV_INDEXED_TYPE(LetterBall)

    // Frames each letter owns in the ball and overlay sheets.
    static constexpr std::int32_t kFramesPerLetter = 17;
    // The overlay shows the letter from this frame of the letter's run on.
    static constexpr std::int32_t kOverlayFirstFrame = 11;
    // How long one move takes, in ms.
    static constexpr std::int32_t kMoveDuration = 200;

    // `small` picks the smaller letter overlay.
    LetterBall(std::uint32_t letter, bool small);
    ~LetterBall() override;

    // Turns the ball (and its letter) five frames forward or back.
    void SetSelected(bool selected);
    // Moves the ball to (x, y) in `tree`; with a new parent the move scales
    // to `scale` on the way and ends with the ball in that parent, where it
    // stays on screen. A running move is finished first.
    void MoveTo(Qmv2::Modifier* tree, float x, float y, Qmv2::GameNode* newParent, float scale);
    // After `delay` ms the ball rolls in; with `withSound` it then plays its
    // landing sound.
    void PlayLoadAnimation(std::int32_t delay, bool withSound);
    void ShowOverlay();
    void OnMoveFinished();
    // Makes the ball a child of `node` at the same place on screen.
    void Reparent(Qmv2::GameNode* node);
    // Completes a running move at once (callbacks included).
    void FinishMove();

    std::uint32_t GetLetter() const noexcept { return m_Letter; }
    bool IsSelected() const noexcept { return m_Selected; }
    std::int32_t GetBaseFrame() const noexcept { return LetterIndex(m_Letter) * kFramesPerLetter; }
    Qmv2::Sprite* GetSheen() const noexcept { return m_Sheen; }
    Qmv2::Sprite* GetLetterOverlay() const noexcept { return m_LetterOverlay; }
    bool IsPlacedExplicitly() const noexcept { return m_PlacedExplicitly; }
    void SetPlacedExplicitly(bool placed) noexcept { m_PlacedExplicitly = placed; }
    Qmv2::Modifier* GetMove() const noexcept { return m_Move.Get(); }

private:
    void RestoreScale();
    void PlayLoadSound();

    bool m_Selected = false;
    Qmv2::Sprite* m_Sheen = nullptr;
    Qmv2::Sprite* m_LetterOverlay = nullptr;
    bool m_PlacedExplicitly = false;
    Qmv2::SmartPtr<Qmv2::Modifier> m_Move;
    std::uint32_t m_Letter;
};
