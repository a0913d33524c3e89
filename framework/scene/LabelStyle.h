// A sprite that shows a block of styled text: the text is split into words,
// one label per word, placed into lines with wrapping or truncation, aligned,
// flowed round images, and rendered once into the sprite's own image.
// Mark-up tags in square brackets change the font, colour, wrapping,
// alignment, tab position and width part-way through.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "framework/core/object/GFVector.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/util/Color.h"
#include "framework/core/util/UTF8String.h"
#include "framework/graphics/text/Font.h"
#include "framework/scene/TextLine.h"
#include "framework/scene/Label.h"
#include "framework/scene/Sprite.h"
#include "framework/scene/SceneRecords.h"

namespace Qmv2 {

class PropertyNode;

class LabelStyle : public Sprite {
    QMV_INDEXED_TYPE(LabelStyle)

    enum WrapStyle : std::int32_t { kAutoWidth = 0, kWordWrap = 1, kTruncate = 2 };
    enum AlignH : std::int32_t { kLeft = 0, kCenter = 1, kRight = 2 };
    enum AlignV : std::int32_t { kTop = 0, kMiddle = 1, kBaseline = 2, kBottom = 3 };
    // Render targets are limited to this many pixels a side.
    static constexpr std::int32_t kMaxTextureSide = 4096;

    // The sprite part from the node, the defaults, then Load (node given).
    explicit LabelStyle(PropertyNode* description);
    ~LabelStyle() override;

    // "font" with "section", "wrapstyle", "alignh", "autofitheight", and the
    // text from "text", "value" or the basic-properties key "textid".
    void Load(const PropertyNode& description);

    // Empties the images list; lays out and renders only when the text
    // (with "\n" written as backslash and n made a line feed) changed.
    virtual void SetText(const UTF8String& text);
    virtual void UpdateText();
    const UTF8String& GetText() const { return m_Text; }

    void Layout();
    // Renders the laid-out words and images into the sprite's own image.
    void Render();
    using Sprite::Render;
    void PlaceWord();
    void FinishLine();

    // The tag state, for the mark-up handlers.
    GFVector<std::pair<Color, std::int32_t>>& GetColorStack() { return m_ColorStack; }
    GFVector<std::int32_t>& GetWrapStyleStack() { return m_WrapStyleStack; }
    GFVector<std::int32_t>& GetAlignVStack() { return m_AlignVStack; }
    GFVector<std::int32_t>& GetAlignHStack() { return m_AlignHStack; }
    GFVector<std::int32_t>& GetTabStops() { return m_TabStops; }
    GFVector<SmartPtr<Font>>& GetFontStack() { return m_FontStack; }
    GFVector<SmartPtr<Sprite>>& GetImages() { return m_Images; }
    const GFVector<SmartPtr<TextLine>>& GetLines() const { return m_Lines; }
    Font* GetFont() const { return m_Font.Get(); }
    void SetFont(Font* font) { m_Font = font; }
    float GetPenX() const { return m_PenX; }
    float GetPenY() const { return m_PenY; }
    void SetPenX(float x) { m_PenX = x; }
    void SetPenY(float y) { m_PenY = y; }
    float GetLineHeight() const { return m_LineHeight; }
    void SetLineHeight(float height) { m_LineHeight = height; }
    std::int32_t GetWrapStyle() const { return m_WrapStyle; }
    void SetWrapStyle(std::int32_t style) { m_WrapStyle = style; }
    std::int32_t GetAlignV() const { return m_AlignV; }
    void SetAlignV(std::int32_t align) { m_AlignV = align; }
    std::int32_t GetAlignH() const { return m_AlignH; }
    void SetAlignH(std::int32_t align) { m_AlignH = align; }
    bool GetAutoFit() const { return m_AutoFit; }
    void SetAutoFit(bool autoFit) { m_AutoFit = autoFit; }
    float GetLineRightEnd() const { return m_LineRightEnd; }
    // How many layouts ran (a repeated equal text runs none).
    std::int32_t GetLayoutCount() const { return m_LayoutCount; }

    // A word's line height: its own, or its font's when negative.
    static float WordLineHeight(const Label& word);

private:
    static bool IsLineBreak(std::uint32_t code);
    static bool IsSpace(std::uint32_t code);
    void MoveWordsOfLine(TextLine& line, float dx);
    bool FlowAroundImages(Label& word);
    void Truncate(Label& word, float width);

    GFVector<std::pair<Color, std::int32_t>> m_ColorStack;
    GFVector<std::int32_t> m_WrapStyleStack;
    GFVector<std::int32_t> m_AlignVStack;
    GFVector<std::int32_t> m_AlignHStack;
    GFVector<std::int32_t> m_TabStops;
    GFVector<SmartPtr<Font>> m_FontStack;
    GFVector<SmartPtr<Sprite>> m_Images;
    GFVector<SmartPtr<TextLine>> m_Lines;
    SmartPtr<Font> m_Font;
    float m_PenX = 0.0f;
    float m_PenY = 0.0f;
    float m_LineHeight = 0.0f;
    std::int32_t m_AlignV = kTop;
    std::int32_t m_AlignH = kLeft;
    std::int32_t m_WrapStyle = kAutoWidth;
    bool m_AutoFit = true;
    UTF8String m_Text;
    std::int32_t m_ReadIndex = 0;
    std::int32_t m_WordStart = 0;
    float m_PendingLineHeight = 0.0f;
    float m_LineRightEnd = 0.0f;
    // A truncated line takes no further words.
    bool m_LineClosed = false;
    SmartPtr<TextLine> m_CurrentLine;
    // The text's code points during a layout, kept in step with m_Text.
    std::vector<std::uint32_t> m_Codes;
    std::int32_t m_LayoutCount = 0;
};

}  // namespace Qmv2
