#include "tools/fontbaker/FontSpecFile.h"

#include <charconv>
#include <fstream>
#include <set>
#include <sstream>

namespace fontbaker {

namespace {

std::string_view Trim(std::string_view s)
{
    const char* blanks = " \t\r\n";
    const auto first = s.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    const auto last = s.find_last_not_of(blanks);
    return s.substr(first, last - first + 1);
}

// File names are lower case throughout the game's data.
bool IsFileNameWord(std::string_view s)
{
    if (s.empty())
        return false;
    for (char c : s)
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_'))
            return false;
    return true;
}

class LineReader {
public:
    LineReader(const std::string& source, int line) : m_Source(source), m_Line(line) {}

    [[noreturn]] void Fail(const std::string& what) const
    {
        throw FontBakeError(m_Source + ":" + std::to_string(m_Line) + ": " + what);
    }

    int Int(std::string_view text, int low, int high, const char* what) const
    {
        int value = 0;
        const auto end = text.data() + text.size();
        const auto [ptr, ec] = std::from_chars(text.data(), end, value);
        if (text.empty() || ec != std::errc() || ptr != end || value < low || value > high)
            Fail(std::string(what) + " must be a whole number from " + std::to_string(low) + " to " +
                 std::to_string(high) + ", not \"" + std::string(text) + "\"");
        return value;
    }

    float Float(std::string_view text, float low, float high, const char* what) const
    {
        float value = 0;
        const auto end = text.data() + text.size();
        const auto [ptr, ec] = std::from_chars(text.data(), end, value);
        if (text.empty() || ec != std::errc() || ptr != end || !(value >= low && value <= high))
            Fail(std::string(what) + " must be a number from " + std::to_string(low) + " to " +
                 std::to_string(high) + ", not \"" + std::string(text) + "\"");
        return value;
    }

    // "#AARRGGBB", or "#RRGGBB" for an opaque colour.
    std::uint32_t Color(std::string_view text) const
    {
        const std::string_view digits = text.substr(text.empty() ? 0 : 1);
        std::uint32_t value = 0;
        const auto end = digits.data() + digits.size();
        const auto [ptr, ec] = std::from_chars(digits.data(), end, value, 16);
        if (text.empty() || text[0] != '#' || (digits.size() != 6 && digits.size() != 8) ||
            ec != std::errc() || ptr != end)
            Fail("a colour is #AARRGGBB or #RRGGBB, not \"" + std::string(text) + "\"");
        return digits.size() == 6 ? (value | 0xFF000000u) : value;
    }

    LayerSpec Layer(std::string_view text) const
    {
        std::istringstream words{std::string(text)};
        LayerSpec layer;
        if (!(words >> layer.label) || !IsFileNameWord(layer.label))
            Fail("a layer starts with its name in lower-case letters, digits and '_'");
        bool hasColor = false;
        std::string word;
        while (words >> word) {
            const auto eq = word.find('=');
            if (eq == std::string::npos)
                Fail("layer setting \"" + word + "\" is not key=value");
            const std::string_view key = std::string_view(word).substr(0, eq);
            const std::string_view value = std::string_view(word).substr(eq + 1);
            if (key == "color") {
                layer.color = Color(value);
                hasColor = true;
            } else if (key == "stroke") {
                layer.stroke = Float(value, 0.0f, 16.0f, "stroke");
            } else if (key == "offset") {
                const auto comma = value.find(',');
                if (comma == std::string_view::npos)
                    Fail("offset is dx,dy");
                layer.dx = Int(value.substr(0, comma), -16, 16, "offset x");
                layer.dy = Int(value.substr(comma + 1), -16, 16, "offset y");
            } else {
                Fail("unknown layer setting \"" + std::string(key) + "\"");
            }
        }
        if (!hasColor)
            Fail("layer \"" + layer.label + "\" has no color");
        return layer;
    }

private:
    const std::string& m_Source;
    int m_Line;
};

void CheckComplete(const FontSpec& font, const std::string& source)
{
    const std::string where = source + ": font \"" + font.name + "\"";
    if (font.file.empty())
        throw FontBakeError(where + " names no file");
    if (font.pixelSize == 0)
        throw FontBakeError(where + " has no size");
    if (font.layers.empty())
        throw FontBakeError(where + " has no layer");
}

} // namespace

std::vector<FontSpec> FontSpecFile::Parse(std::string_view text, const std::string& sourceName)
{
    std::vector<FontSpec> fonts;
    std::set<std::string> names;
    std::set<std::string> labels;
    int lineNumber = 0;
    while (!text.empty()) {
        const auto eol = text.find('\n');
        const std::string_view raw = text.substr(0, eol);
        text = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);
        ++lineNumber;
        const LineReader reader(sourceName, lineNumber);
        const std::string_view line = Trim(raw);
        if (line.empty() || line[0] == '#')
            continue;

        if (line.front() == '[') {
            if (line.back() != ']')
                reader.Fail("a font section is written [name]");
            if (!fonts.empty())
                CheckComplete(fonts.back(), sourceName);
            FontSpec font;
            font.name = std::string(Trim(line.substr(1, line.size() - 2)));
            if (!IsFileNameWord(font.name))
                reader.Fail("a font name uses lower-case letters, digits and '_' only");
            if (!names.insert(font.name).second)
                reader.Fail("font \"" + font.name + "\" is listed twice");
            labels.clear();
            fonts.push_back(std::move(font));
            continue;
        }

        const auto eq = line.find('=');
        if (eq == std::string_view::npos)
            reader.Fail("expected key = value");
        if (fonts.empty())
            reader.Fail("a setting before the first [font] section");
        FontSpec& font = fonts.back();
        const std::string_view key = Trim(line.substr(0, eq));
        const std::string_view value = Trim(line.substr(eq + 1));
        if (key == "file") {
            if (!font.file.empty())
                reader.Fail("file is given twice");
            if (value.empty() || value.find("..") != std::string_view::npos)
                reader.Fail("file must name a font file inside the font folder");
            font.file = std::string(value);
        } else if (key == "size") {
            if (font.pixelSize != 0)
                reader.Fail("size is given twice");
            font.pixelSize = reader.Int(value, 6, 200, "size");
        } else if (key == "layer") {
            LayerSpec layer = reader.Layer(value);
            if (!labels.insert(layer.label).second)
                reader.Fail("layer \"" + layer.label + "\" is listed twice");
            font.layers.push_back(std::move(layer));
        } else {
            reader.Fail("unknown key \"" + std::string(key) + "\"");
        }
    }
    if (!fonts.empty())
        CheckComplete(fonts.back(), sourceName);
    return fonts;
}

std::vector<FontSpec> FontSpecFile::Load(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw FontBakeError("cannot open the font list " + path);
    std::ostringstream text;
    text << in.rdbuf();
    return Parse(text.str(), path);
}

} // namespace fontbaker
