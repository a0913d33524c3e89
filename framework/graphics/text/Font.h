// A font that measures and draws text. FontBitmap is the one kind; text
// layout talks to fonts through this interface.
#pragma once

#include <cstdint>

#include "framework/graphics/GraphicsRecords.h"
#include "framework/core/util/Color.h"
#include "framework/core/util/UTF8String.h"
#include "framework/graphics/text/FontCharPosition.h"
#include "framework/graphics/text/FontTextBlock.h"

namespace Qmv2 {

class Graphics;

class Font : public BaseObject {
    QMV_INDEXED_TYPE(Font)

    // Counts that run to the end of the text.
    static constexpr std::int32_t kToEnd = 0x7FFFFFFF;

    // Draws the block's lines with the drawing object's current state.
    virtual void Draw(Graphics& graphics, const FontTextBlock& block) = 0;
    // Lays the range out and answers the summary value `which`
    // (FontCharPositions::Summary); 0 for an empty range.
    virtual float Measure(const UTF8String& text, float extraSpacing, int which, std::int32_t first,
                          std::int32_t count) = 0;
    // Appends one position per character of the range and raises the summary.
    virtual void Layout(const UTF8String& text, FontCharPositions& out, float extraSpacing, std::int32_t first,
                        std::int32_t count) = 0;
    virtual bool HasChar(std::uint32_t code) const = 0;
    virtual bool GetFlag() const = 0;
    virtual void SetFlag(bool flag) = 0;
    virtual bool GetFirstFlag() const = 0;
    virtual float GetCellHeight() const = 0;
    virtual float GetBaseline() const = 0;
    virtual float GetCharSpacing() const = 0;
    virtual float GetLineHeight() const = 0;
    virtual Color GetLayerColor() const = 0;
    virtual bool HasFixedColors() const = 0;
    virtual std::int32_t GetLayerCount() const = 0;
    virtual float GetGlyphMargin() const = 0;
};

}  // namespace Qmv2
