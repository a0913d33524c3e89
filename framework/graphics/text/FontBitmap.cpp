#include "framework/graphics/text/FontBitmap.h"

#include <cstdio>
#include <string>
#include <vector>

#include "framework/core/properties/PropertyNode.h"
#include "framework/core/util/StringFunctions.h"
#include "framework/graphics/draw/Graphics.h"
#include "framework/graphics/text/CodePoints.h"

namespace Qmv2 {

namespace {

float ReadFloat(const PropertyNode& node, const char* key)
{
    return node.GetValue(key)->GetFloat();
}

// "#" and hexadecimal digits up to the next "#" (or group mark): the code,
// low 16 bits kept, and where the scan goes on.
std::uint32_t ReadGroupedCode(const std::string& chars, std::size_t& at)
{
    std::size_t end = at + 1;
    while (end < chars.size() && chars[end] != '#' && chars[end] != '\x01') {
        ++end;
    }
    unsigned value = 0;
    const std::string digits = chars.substr(at + 1, end - at - 1);
    if (std::sscanf(digits.c_str(), "%x", &value) != 1) {
        value = 0;
    }
    at = end;
    return value & 0xFFFFu;
}

bool IsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// One character of a pair-kerning piece: a UTF-8 character, or "#", hex
// digits and ";". Answers false for an entity that does not read; the scan
// then goes on after the entity (up to its ";").
bool ReadPairChar(const UTF8String& piece, std::int32_t& offset, std::uint32_t& code)
{
    const std::string& bytes = piece.GetString();
    const auto size = static_cast<std::int32_t>(bytes.size());
    if (bytes[offset] != '#') {
        code = piece.GetCodePointAt(offset);
        offset += Utf8SequenceLength(static_cast<unsigned char>(bytes[offset]));
        return true;
    }
    std::int32_t end = offset + 1;
    while (end < size && IsHexDigit(bytes[end]) && end - offset <= 8) {
        ++end;
    }
    const bool readable = end > offset + 1 && end < size && bytes[end] == ';';
    if (readable) {
        code = static_cast<std::uint32_t>(std::stoul(bytes.substr(offset + 1, end - offset - 1), nullptr, 16));
    }
    // An entity runs to its ";" (or the end of the piece), readable or not.
    while (end < size && bytes[end] != ';') {
        ++end;
    }
    offset = end < size ? end + 1 : end;
    return readable;
}

}  // namespace

const GFVector<UTF8String>& FontBitmap::GetSubstitutionGroups()
{
    static const GFVector<UTF8String> groups = [] {
        GFVector<UTF8String> made;
        UTF8String quotes;
        for (std::uint32_t c : {0x301Eu, 0x301Du, 0x275Eu, 0x275Du, 0x2033u, 0x201Du, 0x201Cu, 0x0022u}) {
            quotes.AppendChar(c);
        }
        UTF8String apostrophes;
        for (std::uint32_t c : {0x275Cu, 0x275Bu, 0x2019u, 0x2018u, 0x02BCu, 0x02BBu, 0x00B4u, 0x0060u, 0x0027u}) {
            apostrophes.AppendChar(c);
        }
        made.PushBack(quotes);
        made.PushBack(apostrophes);
        return made;
    }();
    return groups;
}

bool FontBitmap::IsSpaceChar(std::uint32_t code)
{
    return code == 0x20 || (code >= 0x2000 && code <= 0x200B) || code == 0x205F || code == 0x3000 ||
           code == 0xA0 || code == 0x202F;
}

FontBitmap::FontBitmap(const PropertyNode* description)
{
    const PropertyNode& node = description != nullptr ? *description : *PropertyNode::GetEmpty();
    GetSubstitutionGroups();
    if (node.HasChild("charspacing")) {
        m_CharSpacing = ReadFloat(node, "charspacing");
    }
    if (node.HasChild("lineheight")) {
        m_LineHeight = ReadFloat(node, "lineheight");
    }
    if (node.HasChild("baseline")) {
        m_Baseline = ReadFloat(node, "baseline");
    }
    if (node.HasChild("spacewidth")) {
        const float width = ReadFloat(node, "spacewidth");
        for (std::uint32_t code : {0x20u, 0xA0u}) {
            m_Glyphs[code].advance = width;
            m_Glyphs[code].sw = width;
        }
        m_Glyphs[0x2002].advance = width * 0.5f;
        m_Glyphs[0x2002].sw = width * 0.5f;
    }
    ReadGlyphs(node);
    ReadGroupedKerning(node);
    ReadPairKerning(node, "newkerning");
    ReadPairKerning(node, "manualkerning");
    MakeDefaultGlyph();
}

void FontBitmap::ReadGlyphs(const PropertyNode& description)
{
    if (!description.HasChild("chars")) {
        return;
    }
    for (const SmartPtr<AbstractProperty>& item : description.GetVector("chars")->GetItems()) {
        const PropertyNode& node = *PropertyNode::AsNode(item.Get());
        const std::string c = node.GetString("c");
        std::uint32_t code;
        if (c.empty()) {
            code = 0xFFFFFFFFu;
        } else if (c[0] == '#') {
            code = static_cast<std::uint32_t>(ParseColor(c));
        } else {
            code = UTF8String(c).GetCodePointAt(0);
        }
        FontGlyph& glyph = m_Glyphs[code];
        glyph.sx = ReadFloat(node, "sx");
        glyph.sy = ReadFloat(node, "sy");
        glyph.sw = ReadFloat(node, "sw");
        glyph.sh = ReadFloat(node, "sh");
        glyph.advance = ReadFloat(node, "width");
        glyph.cell = Point_t<int>(node.GetValue("ix")->GetInt(), node.GetValue("iy")->GetInt());
        glyph.bearing = Point_t<float>(ReadFloat(node, "bx"), ReadFloat(node, "by"));
        if (glyph.sh + glyph.bearing.y > m_TallestGlyph) {
            m_TallestGlyph = glyph.sh + glyph.bearing.y;
        }
    }
}

void FontBitmap::SetKerning(std::uint32_t left, std::uint32_t right, float amount)
{
    // Kerning lives in the left glyph's record; a pair for a character the
    // font lacks would otherwise make it look present.
    auto found = m_Glyphs.find(left);
    if (found != m_Glyphs.end()) {
        found->second.kerning[right] = amount;
    }
}

void FontBitmap::ReadGroupedKerning(const PropertyNode& description)
{
    if (!description.HasChild("kerning")) {
        return;
    }
    for (const SmartPtr<AbstractProperty>& item : description.GetVector("kerning")->GetItems()) {
        const PropertyNode& node = *PropertyNode::AsNode(item.Get());
        const float amount = ReadFloat(node, "width");
        const std::string chars = node.GetString("chars");
        std::uint32_t left = 0;
        bool groupStart = false;
        std::size_t at = 0;
        while (at < chars.size()) {
            if (chars[at] == '\x01') {
                groupStart = true;
                ++at;
                continue;
            }
            const std::uint32_t code = ReadGroupedCode(chars, at);
            if (code == 0) {
                groupStart = true;
            } else if (groupStart) {
                left = code;
                groupStart = false;
            } else {
                SetKerning(left, code, amount);
            }
        }
    }
}

void FontBitmap::ReadPairKerning(const PropertyNode& description, const char* key)
{
    if (!description.HasChild(key)) {
        return;
    }
    for (const SmartPtr<AbstractProperty>& item : description.GetVector(key)->GetItems()) {
        const PropertyNode& node = *PropertyNode::AsNode(item.Get());
        const float amount = ReadFloat(node, "width");
        GFVector<UTF8String> pieces;
        UTF8String(node.GetString("chars")).Split(",", pieces, false);
        for (const UTF8String& piece : pieces) {
            std::int32_t offset = 0;
            std::uint32_t left = 0;
            if (!ReadPairChar(piece, offset, left)) {
                continue;
            }
            while (offset < piece.GetByteLength()) {
                std::uint32_t right = 0;
                if (ReadPairChar(piece, offset, right)) {
                    SetKerning(left, right, amount);
                }
            }
        }
    }
}

void FontBitmap::MakeDefaultGlyph()
{
    const float width = 2.0f * GetGlyph(0x20).advance;
    float bearingSum = 0.0f;
    for (const auto& [code, glyph] : m_Glyphs) {
        bearingSum += glyph.bearing.x;
    }
    FontGlyph made;
    made.advance = width;
    made.sw = width;
    made.bearing.x = m_Glyphs.empty() ? 0.0f : bearingSum / static_cast<float>(m_Glyphs.size());
    m_DefaultGlyph = made;
}

std::uint32_t FontBitmap::FindSubstituteChar(std::uint32_t code) const
{
    if (IsSpaceChar(code) || m_Glyphs.count(code) != 0) {
        return code;
    }
    for (const UTF8String& group : GetSubstitutionGroups()) {
        if (group.Find(code) < 0) {
            continue;
        }
        for (std::uint32_t member : CodePoints(group)) {
            if (m_Glyphs.count(member) != 0) {
                return member;
            }
        }
        return 0;
    }
    return 0;
}

const FontGlyph& FontBitmap::GetGlyph(std::uint32_t code) const
{
    const std::uint32_t found = FindSubstituteChar(code);
    if (found != 0) {
        auto record = m_Glyphs.find(found);
        if (record != m_Glyphs.end()) {
            return record->second;
        }
    }
    return m_DefaultGlyph;
}

float FontBitmap::GetKerning(const FontGlyph& glyph, std::uint32_t next)
{
    auto found = glyph.kerning.find(next);
    return found != glyph.kerning.end() ? found->second : 0.0f;
}

void FontBitmap::AddLayer(FontLayer* layer)
{
    if (layer == nullptr) {
        return;
    }
    m_Layers.PushBack(SmartPtr<FontLayer>(layer));
    if (layer->GetPadding() > m_GlyphMargin) {
        m_GlyphMargin = layer->GetPadding();
    }
}

Color FontBitmap::GetLayerColor() const
{
    return m_Layers.IsEmpty() ? Color() : m_Layers[m_Layers.GetCount() - 1]->GetColor();
}

bool FontBitmap::HasFixedColors() const
{
    if (m_Layers.IsEmpty()) {
        return false;
    }
    const FontLayer& top = *m_Layers[m_Layers.GetCount() - 1];
    return top.GetSheet() != nullptr && top.GetSheet()->GetImageData() != nullptr && !top.IsAlphaOnly();
}

void FontBitmap::Layout(const UTF8String& text, FontCharPositions& out, float extraSpacing, std::int32_t first,
                        std::int32_t count)
{
    const std::vector<std::uint32_t> codes = CodePoints(text);
    const auto length = static_cast<std::int32_t>(codes.size());
    if (first < 0) {
        first = 0;
    }
    if (first >= length) {
        return;
    }
    if (count < 0 || count > length - first) {
        count = length - first;
    }
    if (count == 0) {
        return;
    }
    const float margin = m_GlyphMargin;
    const float spacing = m_CharSpacing + extraSpacing;
    float pen = margin;
    float previousEnd = 0.0f;
    for (std::int32_t i = first; i < first + count; ++i) {
        const std::uint32_t code = codes[i];
        const FontGlyph& glyph = GetGlyph(code);
        const bool followed = i + 1 < length;
        const float kern = followed ? GetKerning(glyph, codes[i + 1]) : 0.0f;
        float width = glyph.sw;
        if (IsSpaceChar(code)) {
            // A space's image reaches back to the end of the glyph before it.
            width = glyph.sw + previousEnd - pen;
        }
        float left;
        if (i == 0) {
            left = pen;
            pen -= glyph.bearing.x;
        } else {
            left = pen + glyph.bearing.x;
        }
        const float advanceRight = pen + glyph.advance + spacing;
        const float imageRight = left + width + margin;
        const float inkRight = followed ? imageRight - margin : imageRight;
        out.PushBack(FontCharPosition(left, glyph.bearing.y + margin, imageRight, advanceRight, inkRight));
        if (imageRight > out.imageRight) {
            out.imageRight = imageRight;
        }
        if (advanceRight > out.advanceRight) {
            out.advanceRight = advanceRight;
        }
        if (inkRight > out.inkRight) {
            out.inkRight = inkRight;
        }
        pen = advanceRight + kern;
        previousEnd = left + glyph.sw;
    }
}

float FontBitmap::Measure(const UTF8String& text, float extraSpacing, int which, std::int32_t first,
                          std::int32_t count)
{
    FontCharPositions positions;
    Layout(text, positions, extraSpacing, first, count);
    return positions.IsEmpty() ? 0.0f : positions.GetSummary(which);
}

void FontBitmap::Draw(Graphics& graphics, const FontTextBlock& block)
{
    GFVector<FontCharPositions> laidOut;
    GFVector<std::vector<std::uint32_t>> lineCodes;
    for (const FontTextLine& line : block.lines) {
        FontCharPositions* positions = laidOut.PushBack(FontCharPositions());
        Layout(line.text, *positions, block.extraSpacing, 0, kToEnd);
        lineCodes.PushBack(CodePoints(line.text));
    }
    const AnchorPoint savedPivot = graphics.GetPivot();
    const float originX = graphics.GetX();
    const float originY = graphics.GetY();

    // Bottom layer first, so that the face lies over its outline and shadow.
    for (std::int32_t layerIndex = 0; layerIndex < m_Layers.GetCount(); ++layerIndex) {
        const FontLayer& layer = *m_Layers[layerIndex];
        ImageFrame* sheet = layer.GetSheet();
        if (sheet == nullptr || sheet->GetImageData() == nullptr) {
            continue;
        }
        const float p = layer.GetPadding();
        graphics.SetImage(sheet);
        if (!layer.IsAlphaOnly()) {
            graphics.SetRGB(Color());
        } else if (layerIndex < block.colors.GetCount()) {
            graphics.SetRGB(block.colors[layerIndex]);
        } else {
            graphics.SetRGB(layer.GetColor());
        }
        const float sheetWidth = static_cast<float>(sheet->GetImageData()->GetWidth());
        const float sheetHeight = static_cast<float>(sheet->GetImageData()->GetHeight());
        for (std::int32_t l = 0; l < block.lines.GetCount(); ++l) {
            const FontTextLine& line = block.lines[l];
            const FontCharPositions& positions = laidOut[l];
            const std::vector<std::uint32_t>& codes = lineCodes[l];
            for (std::int32_t i = 0; i < positions.GetCount(); ++i) {
                if (IsSpaceChar(codes[i])) {
                    continue;
                }
                const float x = line.x + positions[i].x - p;
                const float y = line.y + positions[i].y - p;
                graphics.SetPivotXY(savedPivot.offset.x - x, savedPivot.offset.y - y);
                graphics.SetPosition(originX + x, originY + y);
                const std::uint32_t code = FindSubstituteChar(codes[i]);
                if (code == 0) {
                    graphics.DrawRect({1.0f, 1.0f, 2.0f * p - 1.0f + m_DefaultGlyph.advance,
                                       2.0f * p - 1.0f + m_TallestGlyph});
                } else {
                    const FontGlyph& glyph = GetGlyph(code);
                    const float w = glyph.sw + 2.0f * p;
                    const float h = glyph.sh + 2.0f * p;
                    const float u0 = (glyph.sx + 2.0f * p * static_cast<float>(glyph.cell.x)) / sheetWidth;
                    const float v0 = (glyph.sy + 2.0f * p * static_cast<float>(glyph.cell.y)) / sheetHeight;
                    const float u1 = u0 + w / sheetWidth;
                    const float v1 = v0 + h / sheetHeight;
                    graphics.SetBoundsRect({0.0f, 0.0f, w, h});
                    PolygonF* quad = graphics.GetBoundsPolygon();
                    if (quad->GetVertexCount() == 4) {
                        quad->SetVertex(0, PolygonPointF(0.0f, 0.0f, u0, v0));
                        quad->SetVertex(1, PolygonPointF(w, 0.0f, u1, v0));
                        quad->SetVertex(2, PolygonPointF(w, h, u1, v1));
                        quad->SetVertex(3, PolygonPointF(0.0f, h, u0, v1));
                    }
                    graphics.DrawImage();
                }
                graphics.SetPosition(originX, originY);
            }
        }
    }
    graphics.SetPivotXY(savedPivot.offset.x, savedPivot.offset.y);
}

}  // namespace Qmv2
