// A bitmap font: glyph records read from a font description, kerning, glyph
// substitution between look-alike quotation marks, and layers of glyph
// sheets drawn bottom to top.
#pragma once

#include <cstdint>
#include <unordered_map>

#include "framework/core/object/GFVector.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/graphics/text/Font.h"
#include "framework/graphics/text/FontLayer.h"
#include "framework/graphics/GraphicsRecords.h"

namespace Qmv2 {

class PropertyNode;

// Where a glyph lies in the unpadded sheet and how it moves the pen.
struct FontGlyph {
    float sx = 0.0f;
    float sy = 0.0f;
    float sw = 0.0f;
    float sh = 0.0f;
    float advance = 0.0f;
    // Column and row of the glyph's cell: shifts its rectangle in padded sheets.
    Point_t<int> cell;
    // Offset of the glyph image from the pen.
    Point_t<float> bearing;
    // Amount added to the pen after this glyph, by the following character.
    std::unordered_map<std::uint32_t, float> kerning;
};

class FontBitmap : public Font {
    QMV_INDEXED_TYPE(FontBitmap)

    // Reads the description node (null reads as an empty description).
    explicit FontBitmap(const PropertyNode* description);

    void Draw(Graphics& graphics, const FontTextBlock& block) override;
    float Measure(const UTF8String& text, float extraSpacing, int which, std::int32_t first,
                  std::int32_t count) override;
    void Layout(const UTF8String& text, FontCharPositions& out, float extraSpacing, std::int32_t first,
                std::int32_t count) override;
    bool HasChar(std::uint32_t code) const override { return FindSubstituteChar(code) != 0; }
    bool GetFlag() const override { return m_Flag; }
    void SetFlag(bool flag) override { m_Flag = flag; }
    bool GetFirstFlag() const override { return m_FirstFlag; }
    float GetCellHeight() const override { return m_TallestGlyph + 2.0f * m_GlyphMargin; }
    float GetBaseline() const override { return m_Baseline; }
    float GetCharSpacing() const override { return m_CharSpacing; }
    float GetLineHeight() const override { return m_LineHeight > 0.0f ? m_LineHeight : GetCellHeight(); }
    Color GetLayerColor() const override;
    bool HasFixedColors() const override;
    std::int32_t GetLayerCount() const override { return m_Layers.GetCount(); }
    float GetGlyphMargin() const override { return m_GlyphMargin; }

    // Appends the layer on top and widens the glyph margin to its padding.
    void AddLayer(FontLayer* layer);
    // The record of the character or its substitute, else the default glyph.
    const FontGlyph& GetGlyph(std::uint32_t code) const;
    // The character itself when it is a space or has a glyph, else the first
    // look-alike that has one, else 0.
    std::uint32_t FindSubstituteChar(std::uint32_t code) const;
    static float GetKerning(const FontGlyph& glyph, std::uint32_t next);

    const FontGlyph& GetDefaultGlyph() const { return m_DefaultGlyph; }
    float GetTallestGlyph() const { return m_TallestGlyph; }
    const FontLayer* GetLayer(std::int32_t index) const { return m_Layers[index].Get(); }
    std::int32_t GetGlyphCount() const { return static_cast<std::int32_t>(m_Glyphs.size()); }

    // The space characters of layout and drawing.
    static bool IsSpaceChar(std::uint32_t code);
    // The look-alike groups that substitution searches, in order.
    static const GFVector<UTF8String>& GetSubstitutionGroups();

private:
    void ReadGlyphs(const PropertyNode& description);
    void ReadGroupedKerning(const PropertyNode& description);
    void ReadPairKerning(const PropertyNode& description, const char* key);
    void SetKerning(std::uint32_t left, std::uint32_t right, float amount);
    void MakeDefaultGlyph();

    GFVector<SmartPtr<FontLayer>> m_Layers;
    std::unordered_map<std::uint32_t, FontGlyph> m_Glyphs;
    float m_CharSpacing = 0.0f;
    float m_LineHeight = 0.0f;
    float m_TallestGlyph = 0.0f;
    float m_Baseline = 0.0f;
    bool m_FirstFlag = false;
    bool m_Flag = true;
    float m_GlyphMargin = 0.0f;
    FontGlyph m_DefaultGlyph;
};

}  // namespace Qmv2
