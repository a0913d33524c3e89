// A font for label tests that needs no image: fixed-width code points.
#pragma once

#include <algorithm>
#include <cstdint>

#include "framework/core/util/Color.h"
#include "framework/core/util/UTF8String.h"
#include "framework/graphics/text/Font.h"

namespace scenetest {

using Qmv2::Color;
using Qmv2::FontCharPositions;
using Qmv2::FontTextBlock;
using Qmv2::Graphics;
using Qmv2::UTF8String;

// Every code point is 10 wide; lines advance 12; cells are 10 + 2 padding.
class FixedFont : public Qmv2::Font {
public:
    explicit FixedFont(bool hasEllipsis = true, float padding = 0.0f) : m_Ellipsis(hasEllipsis), m_Padding(padding) {}
    void Draw(Graphics&, const FontTextBlock&) override {}
    float Measure(const UTF8String& text, float spacing, int, std::int32_t first, std::int32_t count) override
    {
        const std::int32_t n = std::min(count, text.GetLength() - first);
        return n <= 0 ? 0.0f : static_cast<float>(n) * (10.0f + spacing);
    }
    void Layout(const UTF8String&, FontCharPositions&, float, std::int32_t, std::int32_t) override {}
    bool HasChar(std::uint32_t code) const override { return code != 0x2026 || m_Ellipsis; }
    bool GetFlag() const override { return false; }
    void SetFlag(bool) override {}
    bool GetFirstFlag() const override { return false; }
    float GetCellHeight() const override { return 10.0f + 2.0f * m_Padding; }
    float GetBaseline() const override { return 8.0f; }
    float GetCharSpacing() const override { return 0.0f; }
    float GetLineHeight() const override { return 12.0f; }
    Color GetLayerColor() const override { return Color(1.0f, 0.0f, 0.0f, 0.0f); }
    bool HasFixedColors() const override { return false; }
    std::int32_t GetLayerCount() const override { return 0; }
    float GetGlyphMargin() const override { return m_Padding; }

private:
    bool m_Ellipsis;
    float m_Padding;
};

}  // namespace scenetest
