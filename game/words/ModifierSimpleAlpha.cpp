#include "game/words/ModifierSimpleAlpha.h"

#include <algorithm>

#include "framework/core/util/StringFunctions.h"
#include "framework/graphics/draw/GraphicsSettings.h"
#include "framework/scene/GameNode.h"

namespace Qmv2 {

ModifierSimpleAlpha::ModifierSimpleAlpha(float from, float to) : ModifierFraction(400, LinearEase), m_From(from), m_To(to)
{
}

void ModifierSimpleAlpha::SetTarget(GameNode* target)
{
    if (target != nullptr) {
        Modifier::SetTarget(target);
    }
}

void ModifierSimpleAlpha::Update(std::uint32_t dt)
{
    ModifierFraction::Update(dt);
    if (IsPassRunning()) {
        ApplyAlpha(GetTarget(), m_From + (m_To - m_From) * GetValue());
    }
}

void ModifierSimpleAlpha::Finish()
{
    ModifierFraction::Finish();
    ApplyAlpha(GetTarget(), m_To);
}

std::string ModifierSimpleAlpha::ToString() const
{
    return Modifier::ToString() + FloatToString(m_From) + " -> " + FloatToString(m_To);
}

void ModifierSimpleAlpha::ApplyAlpha(GameNode* node, float alpha)
{
    if (node == nullptr) {
        return;
    }
    // A node without a drawing state has no alpha of its own; its children
    // still take the fade.
    if (auto* settings = InterfaceCast<GraphicsSettings>(node)) {
        if (settings->GetColor().a == alpha) {
            return;
        }
        if (node->GetName() == "HINT_LETTER") {
            alpha = std::min(alpha, kHintLetterAlpha);
        }
        settings->SetAlpha(alpha);
    } else if (node->GetName() == "HINT_LETTER") {
        alpha = std::min(alpha, kHintLetterAlpha);
    }
    for (GameNode* child = node->GetFirstChild(); child != nullptr; child = child->GetNextSibling()) {
        ApplyAlpha(child, alpha);
    }
}

}  // namespace Qmv2
