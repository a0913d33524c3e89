// Runs the frames of a sprite's image: once, n times or endlessly, forward,
// backward or back and forth, one frame per frame time.
#pragma once

#include <cstdint>

#include "framework/scene/Modifier.h"
#include "framework/scene/SceneRecords.h"

namespace Qmv2 {

class PropertyNode;
class Sprite;

class ModifierFrame : public Modifier {
    QMV_INDEXED_TYPE(ModifierFrame)

    // Shows that one frame and finishes.
    explicit ModifierFrame(std::int32_t frame);
    // The whole image; loops 1 = once, n = n times, 0 or less = endless.
    ModifierFrame(std::int32_t loops, std::int32_t frameTime);
    // Frames start..end (negative: the image's first or last frame).
    ModifierFrame(std::int32_t loops, std::int32_t frameTime, std::int32_t startFrame, std::int32_t endFrame,
                  bool backward, bool pingPong);
    // The factory form: "loopcount", "frametime", "framedirection"; endless,
    // 100 ms per frame and forward when missing.
    explicit ModifierFrame(PropertyNode* description);

    void Update(std::uint32_t dt) override;
    // Shows the end frame.
    void Finish() override;
    std::string ToString() const override;

    std::int32_t GetFrameTime() const noexcept { return m_FrameTime; }
    // A frame time of 0 or less shows the start frame and finishes.
    void SetFrameTime(std::int32_t frameTime) noexcept { m_FrameTime = frameTime; }
    bool IsBackward() const noexcept { return m_Backward; }
    void SetBackward(bool backward) noexcept { m_Backward = backward; }
    std::int32_t GetLoops() const noexcept { return m_Loops; }

private:
    Sprite* GetSprite() const;
    // The index of the image's last frame (0 without an image).
    std::int32_t LastFrame(const Sprite& sprite) const;

    std::int32_t m_Loops;
    std::int32_t m_FrameTime;
    std::int32_t m_StartFrame;
    std::int32_t m_EndFrame;
    std::int32_t m_Accumulator = 0;
    bool m_Backward;
    bool m_PingPong;
    bool m_FirstUpdate = true;
};

}  // namespace Qmv2
