// The text widget: a sprite that shows a text in a bitmap font, laid out in
// lines that are kept whole, wrapped or truncated, and aligned. It draws its
// lines every frame or, when asked to, renders them once into its own image.
// Setters only mark the label dirty; the layout runs at the next draw.
#pragma once

#include <cstdint>

#include "framework/core/object/GFVector.h"
#include "framework/core/util/Color.h"
#include "framework/core/util/UTF8String.h"
#include "framework/graphics/text/Font.h"
#include "framework/scene/FontLine.h"
#include "framework/scene/Sprite.h"
#include "framework/scene/SceneRecords.h"

struct luaL_Reg;

namespace Qmv2 {

class Label : public Sprite {
    QMV_INDEXED_TYPE(Label)

    enum WrapStyle { kAutoWidth = 0, kWordWrap = 1, kTruncate = 2 };
    enum AlignH { kLeft = 0, kCenter = 1, kRight = 2 };
    enum PadStyle { kPadOffset = 0, kPadNone = 1 };
    // The largest image or size a layout makes, in either direction.
    static constexpr float kMaxRenderedSize = 1024.0f;
    // Colour slots beyond this are refused: a slot is a font layer index.
    static constexpr std::int32_t kMaxColorSlots = 64;

    explicit Label(PropertyNode* description);
    Label(Font* font, float x, float y, float width, float height);
    ~Label() override;

    std::string ToString() const override;
    std::string ToShortString() const override;

    // The drawing is placed at the node position plus the pad offset, so
    // the glyphs' padding lies outside the anchor; the node position itself
    // stays what was set, so moves and anchor changes do not drift.
    float GetDrawX() const override { return Sprite::GetX() + m_TextBounds[0]; }
    float GetDrawY() const override { return Sprite::GetY() + m_TextBounds[1]; }
    void SetAnchor(std::int32_t kind) override;
    void SetAnchorPoint(const AnchorPoint& anchor) override;
    void SetAnchorXY(float x, float y) override;

    // Labels keep no vertical alignment: the setter does nothing, the getter
    // answers top.
    std::int32_t GetVerticalAlign() const { return 0; }
    void SetVerticalAlign(std::int32_t) {}

    std::int32_t GetAlignH() const { return m_AlignH; }
    void SetAlignH(std::int32_t align);
    std::int32_t GetWrapStyle() const { return m_WrapStyle; }
    void SetWrapStyle(std::int32_t style);
    std::int32_t GetPadStyle() const { return m_PadStyle; }
    void SetPadStyle(std::int32_t style);
    // Pad offset x and y, text width and height, as the last layout left them.
    const float* GetTextBounds() const { return m_TextBounds; }

    // "\n" written as backslash and n becomes a line feed; an equal text
    // changes nothing.
    void SetText(const UTF8String& text);
    const UTF8String& GetText() const { return m_Text; }
    // The sprite's step, then, for a "text" field (a string or a number),
    // a step that sets that text at its turn. Any other "text" is a script
    // error raised before anything is made.
    Modifier* Animate(lua_State* state, std::int32_t duration) override;
    void SetLabelWidth(float width);
    float GetLabelWidth() const { return m_LabelWidth; }
    void SetLabelHeight(float height);
    float GetLabelHeight() const { return m_LabelHeight; }
    // Always marks dirty, also for the same font.
    void SetFont(Font* font);
    Font* GetFont() const { return m_Font.Get(); }
    // Red, green and blue of colour slot `index` (the list grows with opaque
    // black); alpha is never taken.
    void SetColor(const Color& color, std::int32_t index);
    const GFVector<Color>& GetColors() const { return m_Colors; }
    float GetCharSpacing() const { return m_CharSpacing; }
    void SetCharSpacing(float spacing);
    bool GetAutoFitHeight() const { return m_AutoFitHeight; }
    void SetAutoFitHeight(bool fit);
    bool GetRenderToImage() const { return m_RenderToImage; }
    void SetRenderToImage(bool render);
    // Styled text marks its word labels for rendering into images this way.
    std::uint8_t GetDrawFlag() const { return m_RenderToImage ? 1 : 0; }
    void SetDrawFlag(std::uint8_t flag) { SetRenderToImage(flag != 0); }

    // A negative line height means the font's.
    float GetOwnLineHeight() const { return m_LineHeight; }
    void SetOwnLineHeight(float height);
    // The own line height, or the font's when negative and there is a font.
    float GetLineHeight() const;
    // The font's width of `count` code points from `start` (count -1: to the
    // end) with the label's character spacing; 0 without a font.
    float GetTextWidth(const UTF8String& text, std::int32_t start, std::int32_t count) const;
    // The colour the label's image is cleared with (transparent).
    Color GetClearColor() const;

    bool IsDirty() const { return m_Dirty; }
    bool IsChanged() const { return m_Dirty; }
    void SetChanged(bool changed) { m_Dirty = changed; }
    const GFVector<FontLine>& GetLines() const { return m_Lines; }

    // Lays the text out again when dirty: lines, their places, then the
    // label's size or its image.
    void UpdateLayout();
    void Update() { UpdateLayout(); }
    void Update(std::int32_t) override { UpdateLayout(); }
    void Render(Graphics& graphics) override;

private:
    void Init();
    void Load(const PropertyNode& node);
    void Invalidate() { m_Dirty = true; }
    void RemoveImage();
    void BuildLines();
    void PlaceLines();
    bool RenderToImage();
    UTF8String Ellipsis() const;
    // The lines, colours and spacing as the font draws them.
    FontTextBlock TextBlock() const;

    static const luaL_Reg s_ScriptMethods[];

    GFVector<FontLine> m_Lines;
    GFVector<Color> m_Colors;
    float m_CharSpacing = 0.0f;
    bool m_Dirty = true;
    SmartPtr<Font> m_Font;
    UTF8String m_Text;
    float m_TextBounds[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    std::int32_t m_WrapStyle = kAutoWidth;
    std::int32_t m_AlignH = kLeft;
    std::int32_t m_PadStyle = kPadOffset;
    bool m_AutoFitHeight = true;
    bool m_RenderToImage = false;
    float m_LabelWidth = 0.0f;
    float m_LabelHeight = 0.0f;
    float m_LineHeight = -1.0f;
};

}  // namespace Qmv2
