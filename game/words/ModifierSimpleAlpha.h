// A fade that sets the alpha of a node and of its whole subtree at once.
#pragma once

#include <cstdint>
#include <string>

#include "framework/scene/ModifierFraction.h"
#include "framework/scene/SceneRecords.h"

namespace Qmv2 {

class ModifierSimpleAlpha : public ModifierFraction {
    QMV_INDEXED_TYPE(ModifierSimpleAlpha)

    // 400 ms, one pass, linear.
    ModifierSimpleAlpha(float from, float to);

    // A null node leaves the old target.
    void SetTarget(GameNode* target) override;
    void Update(std::uint32_t dt) override;
    // Applies the end alpha.
    void Finish() override;
    std::string ToString() const override;

    // Sets `alpha` on `node` and below it. A node that already shows that
    // alpha is left alone with its subtree; a hint letter never rises above
    // its dimmed level, nor does anything below it.
    static void ApplyAlpha(GameNode* node, float alpha);

    // The most a node named "HINT_LETTER" shows.
    static constexpr float kHintLetterAlpha = 0.392f;

private:
    float m_From;
    float m_To;
};

}  // namespace Qmv2
