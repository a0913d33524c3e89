#include "tools/fontbaker/FontDescriptionWriter.h"

#include <cstdio>
#include <map>
#include <set>
#include <sstream>

namespace fontbaker {

namespace {

std::string Hex(char32_t code)
{
    char text[16];
    std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(code));
    return text;
}

void Attribute(std::ostringstream& out, const char* name, const std::string& value)
{
    out << ' ' << name << "=\"" << FontDescriptionWriter::EscapeAttribute(value) << '"';
}

void Attribute(std::ostringstream& out, const char* name, int value)
{
    out << ' ' << name << "=\"" << value << '"';
}

std::string ColorText(std::uint32_t argb)
{
    char text[16];
    std::snprintf(text, sizeof text, "#%08x", static_cast<unsigned>(argb));
    return text;
}

void WriteKerning(std::ostringstream& out, const BakedFont& font)
{
    if (font.kerning.empty())
        return;
    // amount -> left character -> right characters, all in ascending order.
    std::map<int, std::map<char32_t, std::set<char32_t>>> byAmount;
    for (const auto& [pair, amount] : font.kerning)
        byAmount[amount][pair.first].insert(pair.second);

    out << "\t\t<Vector id=\"newkerning\">\n";
    for (const auto& [amount, lefts] : byAmount) {
        std::string chars;
        for (const auto& [left, rights] : lefts) {
            if (!chars.empty())
                chars += ',';
            chars += FontDescriptionWriter::KerningCharText(left);
            for (char32_t right : rights)
                chars += FontDescriptionWriter::KerningCharText(right);
        }
        out << "\t\t\t<Node";
        Attribute(out, "width", amount);
        Attribute(out, "chars", chars);
        out << "/>\n";
    }
    out << "\t\t</Vector>\n";
}

} // namespace

std::string FontDescriptionWriter::CharText(char32_t code)
{
    if (code > 0x20 && code < 0x7F && code != '#')
        return std::string(1, static_cast<char>(code));
    return "#" + Hex(code);
}

std::string FontDescriptionWriter::KerningCharText(char32_t code)
{
    if (code > 0x20 && code < 0x7F && code != ',' && code != '#' && code != ';')
        return std::string(1, static_cast<char>(code));
    return "#" + Hex(code) + ";";
}

std::string FontDescriptionWriter::EscapeAttribute(const std::string& text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string FontDescriptionWriter::Write(const BakedFont& font)
{
    std::ostringstream out;
    out << "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<root>\n";
    out << "\t<Node id=\"font\"";
    Attribute(out, "charspacing", 0);
    Attribute(out, "lineheight", font.lineHeight);
    Attribute(out, "baseline", font.baseline);
    Attribute(out, "spacewidth", font.spaceWidth);
    out << ">\n";

    out << "\t\t<Vector id=\"chars\">\n";
    for (const BakedGlyph& glyph : font.glyphs) {
        out << "\t\t\t<Node";
        Attribute(out, "c", CharText(glyph.code));
        Attribute(out, "sx", glyph.sx);
        Attribute(out, "sy", glyph.sy);
        Attribute(out, "sw", glyph.sw);
        Attribute(out, "sh", glyph.sh);
        Attribute(out, "width", glyph.advance);
        Attribute(out, "ix", glyph.ix);
        Attribute(out, "iy", glyph.iy);
        Attribute(out, "bx", glyph.bx);
        Attribute(out, "by", glyph.by);
        out << "/>\n";
    }
    out << "\t\t</Vector>\n";
    WriteKerning(out, font);
    out << "\t</Node>\n";

    out << "\t<Vector id=\"layers\">\n";
    for (const BakedLayer& layer : font.layers) {
        out << "\t\t<Node";
        // A sheet named as the mask alone loads as an alpha-only texture.
        Attribute(out, "mask", layer.imageFile);
        Attribute(out, "padding", layer.padding);
        Attribute(out, "color", ColorText(layer.color));
        out << "/>\n";
    }
    out << "\t</Vector>\n</root>\n";
    return out.str();
}

} // namespace fontbaker
