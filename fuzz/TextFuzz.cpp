// Font descriptions and marked-up texts from outside. The first byte picks
// the reader: even bytes hand the rest to the font description reader as a
// property file and then lay a text out with the font read; odd bytes hand
// the rest to the styled-text layout as a marked-up text, in a fixed font,
// under each wrap style. Nothing may crash, hang or leak, and every laid-out
// word must stand where the layout can draw it.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "framework/core/properties/PropertyStore.h"
#include "framework/core/properties/PropertyVector.h"
#include "framework/core/properties/PropertyXmlReader.h"
#include "framework/graphics/text/FontBitmap.h"
#include "framework/scene/LabelStyle.h"

namespace {

using namespace Qmv2;

void Check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "%s\n", what);
        std::abort();
    }
}

SmartPtr<FontBitmap> FixedFont()
{
    SmartPtr<PropertyNode> description(new PropertyNode());
    description->AddChild(new PropertyValue("spacewidth", std::string("5"), true));
    description->AddChild(new PropertyValue("lineheight", std::string("12"), true));
    auto* chars = new PropertyVector("chars");
    for (char c = '!'; c <= '~'; ++c) {
        auto* glyph = new PropertyNode();
        glyph->AddChild(new PropertyValue("c", std::string(1, c), true));
        glyph->AddChild(new PropertyValue("sw", std::string("8"), true));
        glyph->AddChild(new PropertyValue("sh", std::string("10"), true));
        glyph->AddChild(new PropertyValue("width", std::string("10"), true));
        chars->AddItem(glyph);
    }
    description->AddChild(chars);
    SmartPtr<FontBitmap> font(new FontBitmap(description.Get()));
    font->AddLayer(new FontLayer(2.0f, Color(), nullptr));
    return font;
}

void ReadDescription(const std::string& text)
{
    SmartPtr<PropertyStore> store(new PropertyStore());
    if (!PropertyXmlReader::ReadInto(*store, text.c_str(), true)) {
        return;
    }
    SmartPtr<FontBitmap> font(new FontBitmap(store->GetNode("font")));
    const UTF8String sample("AV \xE2\x80\x9Cq\xE2\x80\x99 \xE4\xB8\xAD");
    FontCharPositions positions;
    font->Layout(sample, positions, 0.0f, 0, Font::kToEnd);
    Check(positions.GetCount() == sample.GetLength(), "one position per character");
    for (std::uint32_t code : {0x201Cu, 0x2019u, 0x4E2Du, 0u, 0xFFFFFFFFu}) {
        font->HasChar(code);
        font->GetGlyph(code);
    }
}

void LayOut(const std::string& text)
{
    static SmartPtr<FontBitmap> font = FixedFont();
    for (std::int32_t wrap : {LabelStyle::kAutoWidth, LabelStyle::kWordWrap, LabelStyle::kTruncate}) {
        SmartPtr<LabelStyle> style(new LabelStyle(nullptr));
        style->SetFont(font.Get());
        style->SetWrapStyle(wrap);
        style->SetSize(120.0f, 0.0f);
        style->SetText(text);
        // An empty text equals the text already held: nothing is laid out.
        Check(style->GetLayoutCount() == (text.empty() ? 0 : 1), "one layout per new text");
        Check(text.empty() || (style->GetWidth() >= 1.0f && style->GetHeight() >= 1.0f), "the style has a size");
        Check(std::isfinite(style->GetWidth()) && std::isfinite(style->GetHeight()), "the size is finite");
        for (const SmartPtr<TextLine>& line : style->GetLines()) {
            for (const SmartPtr<Label>& word : line->GetWords()) {
                Check(!word->GetText().IsEmpty(), "placed words have text");
                Check(std::isfinite(word->GetX()) && std::isfinite(word->GetY()), "words stand somewhere");
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    if ((data[0] & 1) == 0) {
        ReadDescription(text);
    } else {
        LayOut(text);
    }
    return 0;
}
