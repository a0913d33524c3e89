#include "framework/scene/ModifierClipRect.h"

#include "framework/core/util/StringFunctions.h"
#include "framework/scene/Sprite.h"

namespace Qmv2 {

ModifierClipRect::ModifierClipRect(std::int32_t duration, const RectF& from, const RectF& to)
    : ModifierFraction(duration), m_From(from), m_To(to)
{
}

void ModifierClipRect::Apply(const RectF& rect)
{
    GameNode* target = GetTarget();
    if (target != nullptr && target->IsOfType(&Sprite::s_Type)) {
        static_cast<Sprite*>(target)->SetClipRect(rect);
    }
}

void ModifierClipRect::Update(std::uint32_t dt)
{
    ModifierFraction::Update(dt);
    if (IsPassRunning() && !IsFinished()) {
        const float v = GetValue();
        RectF rect;
        rect.x = m_From.x + (m_To.x - m_From.x) * v;
        rect.y = m_From.y + (m_To.y - m_From.y) * v;
        rect.width = m_From.width + (m_To.width - m_From.width) * v;
        rect.height = m_From.height + (m_To.height - m_From.height) * v;
        Apply(rect);
    }
}

void ModifierClipRect::Finish()
{
    ModifierFraction::Finish();
    Apply(m_To);
}

std::string ModifierClipRect::ToString() const
{
    return Modifier::ToString() + "in " + IntToString(GetDuration()) + "ms; ";
}

}  // namespace Qmv2
