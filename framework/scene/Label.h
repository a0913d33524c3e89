// A text in a bitmap font, measured and rendered once into an image of its
// own whenever its text, font or colours change.
#pragma once

#include <cstdint>

#include "framework/core/object/GFVector.h"
#include "framework/core/util/Color.h"
#include "framework/core/util/UTF8String.h"
#include "framework/graphics/text/Font.h"
#include "framework/scene/Sprite.h"

namespace Qmv2 {

class Label : public Sprite {
    QMV_INDEXED_TYPE(Label)

    // Colour slots beyond this are refused: a slot is a font layer index.
    static constexpr std::int32_t kMaxColorSlots = 64;

    Label(Font* font, float x, float y, float width, float height);

    Font* GetFont() const { return m_Font.Get(); }
    const UTF8String& GetText() const { return m_Text; }
    // "\n" written as backslash and n becomes a line feed; an equal text
    // changes nothing.
    void SetText(const UTF8String& text);
    // Red, green and blue of colour slot `index` (the list grows with opaque
    // black); alpha is never taken.
    void SetColor(const Color& color, std::int32_t index);
    const GFVector<Color>& GetColors() const { return m_Colors; }

    // Labels keep no vertical alignment: the setter does nothing, the getter
    // answers top.
    std::int32_t GetVerticalAlign() const { return 0; }
    void SetVerticalAlign(std::int32_t) {}

    // A negative line height means the font's.
    float GetOwnLineHeight() const { return m_LineHeight; }
    void SetOwnLineHeight(float height) { m_LineHeight = height; }
    // The own line height, or the font's when negative and there is a font.
    float GetLineHeight() const;

    bool IsChanged() const { return m_Changed; }
    void SetChanged(bool changed) { m_Changed = changed; }
    std::uint8_t GetDrawFlag() const { return m_DrawFlag; }
    void SetDrawFlag(std::uint8_t flag) { m_DrawFlag = flag; }

    // When changed: sizes the label to its text and renders the text into
    // the label's own image (no image without a font or a renderer).
    void Update();
    void Update(std::int32_t) override { Update(); }

private:
    void RenderText(float width, float height);

    SmartPtr<Font> m_Font;
    UTF8String m_Text;
    GFVector<Color> m_Colors;
    float m_LineHeight = -1.0f;
    bool m_Changed = true;
    std::uint8_t m_DrawFlag = 0;
};

}  // namespace Qmv2
