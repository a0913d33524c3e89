#include "framework/scene/ModifierFrame.h"

#include <algorithm>
#include <utility>

#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/core/util/StringFunctions.h"
#include "framework/scene/Sprite.h"

namespace Qmv2 {

namespace {

const char* const kDirections[] = {"forward", "backward"};

}  // namespace

ModifierFrame::ModifierFrame(std::int32_t frame) : ModifierFrame(1, 0, frame, frame, false, false)
{
}

ModifierFrame::ModifierFrame(std::int32_t loops, std::int32_t frameTime)
    : ModifierFrame(loops, frameTime, -1, -1, false, false)
{
}

ModifierFrame::ModifierFrame(std::int32_t loops, std::int32_t frameTime, std::int32_t startFrame,
                             std::int32_t endFrame, bool backward, bool pingPong)
    : m_Loops(loops), m_FrameTime(frameTime), m_StartFrame(startFrame), m_EndFrame(endFrame),
      m_Backward(backward), m_PingPong(pingPong)
{
}

ModifierFrame::ModifierFrame(PropertyNode* description) : ModifierFrame(-1, 100, -1, -1, false, false)
{
    PropertyNode& node = *PropertyNode::AsNode(description);
    if (node.HasChild("loopcount")) {
        m_Loops = node.GetValue("loopcount")->GetInt();
    }
    if (node.HasChild("frametime")) {
        m_FrameTime = node.GetValue("frametime")->GetInt();
    }
    m_Backward = node.GetEnum("framedirection", kDirections, 2, 0) == 1;
}

Sprite* ModifierFrame::GetSprite() const
{
    GameNode* target = GetTarget();
    return target != nullptr && target->IsOfType(&Sprite::s_Type) ? static_cast<Sprite*>(target) : nullptr;
}

std::int32_t ModifierFrame::LastFrame(const Sprite& sprite) const
{
    const Image* image = sprite.GetImageSet();
    return image != nullptr && image->GetFrameCount() > 0 ? image->GetFrameCount() - 1 : 0;
}

void ModifierFrame::Update(std::uint32_t dt)
{
    Sprite* sprite = GetSprite();
    if (sprite == nullptr) {
        Finish();
        return;
    }
    const std::int32_t start = std::max(m_StartFrame, 0);
    if (m_FrameTime <= 0) {
        sprite->SetFrame(start);
        Finish();
        return;
    }
    if (m_FirstUpdate) {
        m_FirstUpdate = false;
        sprite->SetFrame(start);
    }
    const std::int32_t last = LastFrame(*sprite);
    std::int32_t cur = sprite->GetFrame();
    // Steps are at most a tenth of a second; keep the sum far from overflow.
    m_Accumulator = static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{m_Accumulator} + dt, INT32_MAX));
    while (m_Accumulator >= m_FrameTime) {
        m_Accumulator -= m_FrameTime;
        const std::int32_t first = std::max(m_StartFrame, 0);
        const std::int32_t end = m_EndFrame < 0 ? last : m_EndFrame;
        if (cur == end) {
            if (m_Loops == 1) {
                Finish();
                return;
            }
            if (m_Loops > 0) {
                --m_Loops;
            }
            if (!m_PingPong) {
                cur = first;
                continue;
            }
            m_StartFrame = end;
            m_EndFrame = first;
            m_Backward = !m_Backward;
            if (m_Backward) {
                cur = cur < 1 ? last : cur - 1;
            } else {
                cur = cur >= last ? std::max(m_StartFrame, 0) : cur + 1;
            }
        } else if (m_Backward) {
            cur = cur <= end && cur <= 0 ? last : cur - 1;
        } else {
            cur = cur >= end && cur >= last ? 0 : cur + 1;
        }
    }
    sprite->SetFrame(cur);
}

void ModifierFrame::Finish()
{
    Modifier::Finish();
    if (Sprite* sprite = GetSprite()) {
        sprite->SetFrame(m_EndFrame >= 0 ? m_EndFrame : LastFrame(*sprite));
    }
}

std::string ModifierFrame::ToString() const
{
    std::string text =
        Modifier::ToString() + "[" + IntToString(m_StartFrame) + " -> " + IntToString(m_EndFrame) + "]";
    if (m_Loops > 0) {
        text += " x" + IntToString(m_Loops);
    } else if (m_Loops < 0) {
        text += " looped";
    }
    return text;
}

}  // namespace Qmv2
