#include "tools/fontbaker/FontFileSupport.h"

#include <gtest/gtest.h>
#include <png.h>
#include <tinyxml.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

namespace fontbaker::test {

namespace {

float ReadFloat(const TiXmlElement* element, const char* name)
{
    float value = 0;
    const char* text = element->Attribute(name);
    if (!text || std::sscanf(text, "%f", &value) != 1)
        return 0;
    return value;
}

// "#" or "0x" hexadecimal, else decimal; the game's one integer reader.
std::uint32_t ParseInteger(const std::string& text)
{
    if (!text.empty() && text[0] == '#')
        return static_cast<std::uint32_t>(std::strtoul(text.c_str() + 1, nullptr, 16));
    if (text.size() > 1 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        return static_cast<std::uint32_t>(std::strtoul(text.c_str() + 2, nullptr, 16));
    return static_cast<std::uint32_t>(std::strtol(text.c_str(), nullptr, 10));
}

std::string Attribute(const TiXmlElement* element, const char* name)
{
    const char* text = element->Attribute(name);
    return text ? text : "";
}

char32_t FirstUtf8(const std::string& text)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char lead = bytes[0];
    int extra = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
    char32_t code = extra == 0 ? lead : lead & (0x3F >> extra);
    for (int i = 1; i <= extra && i < static_cast<int>(text.size()); ++i)
        code = (code << 6) | (bytes[i] & 0x3F);
    return code;
}

// One character of a kerning entry at "at": itself, or "#hex;". Answers
// false for an entity that does not read.
bool NextKerningChar(const std::string& piece, std::size_t& at, char32_t& code)
{
    if (piece[at] != '#') {
        std::string rest = piece.substr(at);
        code = FirstUtf8(rest);
        const unsigned char lead = static_cast<unsigned char>(piece[at]);
        at += lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        return true;
    }
    const auto end = piece.find(';', at);
    const std::string digits = end == std::string::npos ? "" : piece.substr(at + 1, end - at - 1);
    at = end == std::string::npos ? piece.size() : end + 1;
    if (digits.empty() || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return false;
    code = static_cast<char32_t>(std::strtoul(digits.c_str(), nullptr, 16));
    return true;
}

} // namespace

char32_t ReadCharText(const std::string& text)
{
    if (text.empty())
        return 0xFFFFFFFFu;
    if (text[0] == '#')
        return ParseInteger(text);
    return FirstUtf8(text);
}

std::map<std::pair<char32_t, char32_t>, float> ReadKerningEntry(const std::string& chars, float amount)
{
    std::map<std::pair<char32_t, char32_t>, float> pairs;
    std::stringstream pieces(chars);
    std::string piece;
    while (std::getline(pieces, piece, ',')) {
        if (piece.size() < 2)
            continue;
        std::size_t at = 0;
        char32_t left = 0;
        if (!NextKerningChar(piece, at, left))
            continue;
        while (at < piece.size()) {
            char32_t right = 0;
            if (NextKerningChar(piece, at, right))
                pairs[{left, right}] = amount;
        }
    }
    return pairs;
}

ReadFont ReadFontFile(const std::string& path)
{
    ReadFont font;
    TiXmlDocument document;
    if (!document.LoadFile(path.c_str())) {
        ADD_FAILURE() << path << " does not parse: " << document.ErrorDesc();
        return font;
    }
    const TiXmlElement* root = document.RootElement();
    const TiXmlElement* node = nullptr;
    const TiXmlElement* layers = nullptr;
    for (const TiXmlElement* child = root->FirstChildElement(); child; child = child->NextSiblingElement()) {
        if (Attribute(child, "id") == "font" && child->ValueStr() != "Vector")
            node = child;
        if (Attribute(child, "id") == "layers" && child->ValueStr() == "Vector")
            layers = child;
    }
    if (!node || !layers) {
        ADD_FAILURE() << path << " lacks the node \"font\" or the vector \"layers\"";
        return font;
    }
    font.lineHeight = ReadFloat(node, "lineheight");
    font.baseline = ReadFloat(node, "baseline");
    font.spaceWidth = ReadFloat(node, "spacewidth");
    font.charSpacing = ReadFloat(node, "charspacing");
    for (const TiXmlElement* vector = node->FirstChildElement("Vector"); vector;
         vector = vector->NextSiblingElement("Vector")) {
        const std::string id = Attribute(vector, "id");
        for (const TiXmlElement* item = vector->FirstChildElement(); item; item = item->NextSiblingElement()) {
            if (id == "chars") {
                ReadGlyph glyph;
                glyph.sx = ReadFloat(item, "sx");
                glyph.sy = ReadFloat(item, "sy");
                glyph.sw = ReadFloat(item, "sw");
                glyph.sh = ReadFloat(item, "sh");
                glyph.width = ReadFloat(item, "width");
                glyph.ix = static_cast<int>(ParseInteger(Attribute(item, "ix")));
                glyph.iy = static_cast<int>(ParseInteger(Attribute(item, "iy")));
                glyph.bx = ReadFloat(item, "bx");
                glyph.by = ReadFloat(item, "by");
                font.glyphs[ReadCharText(Attribute(item, "c"))] = glyph;
            } else if (id == "newkerning" || id == "manualkerning") {
                for (const auto& [pair, amount] : ReadKerningEntry(Attribute(item, "chars"), ReadFloat(item, "width")))
                    font.kerning[pair] = amount;
            } else {
                ADD_FAILURE() << "unexpected vector \"" << id << "\" in " << path;
            }
        }
    }
    for (const TiXmlElement* item = layers->FirstChildElement(); item; item = item->NextSiblingElement()) {
        ReadLayer layer;
        layer.image = Attribute(item, "mask");
        layer.padding = ReadFloat(item, "padding");
        layer.color = ParseInteger(Attribute(item, "color"));
        font.layers.push_back(layer);
    }
    return font;
}

DecodedPng DecodePng(const std::string& path)
{
    DecodedPng out;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        ADD_FAILURE() << path << ": " << image.message;
        return out;
    }
    // The file's own format, before asking for RGBA.
    out.format = image.format;
    image.format = PNG_FORMAT_RGBA;
    out.width = static_cast<int>(image.width);
    out.height = static_cast<int>(image.height);
    out.rgba.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, out.rgba.data(), 0, nullptr)) {
        ADD_FAILURE() << path << ": " << image.message;
        out.width = out.height = 0;
        out.rgba.clear();
    }
    return out;
}

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

namespace {

// Tests run as parallel processes: each gets a folder of its own, removed
// when it ends.
class ProcessFolder {
public:
    ProcessFolder()
        : m_Path(std::filesystem::path(QMV_BINARY_DIR) / "test-home" / "fontbaker" / std::to_string(getpid()))
    {
    }
    ~ProcessFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_Path, ignored);
    }
    const std::filesystem::path& Path() const { return m_Path; }

private:
    std::filesystem::path m_Path;
};

} // namespace

std::string FreshFolder(const std::string& name)
{
    static const ProcessFolder process;
    const std::filesystem::path folder = process.Path() / name;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder.string();
}

} // namespace fontbaker::test
