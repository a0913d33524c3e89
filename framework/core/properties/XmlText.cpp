#include "framework/core/properties/XmlText.h"

#include <string_view>

namespace Qmv2::XmlText {

namespace {

bool IsXmlChar(std::uint32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

// Decodes one UTF-8 character at `i`; answers its length, 0 when malformed.
std::size_t DecodeUtf8(const std::string& text, std::size_t i, std::uint32_t& code)
{
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    std::uint32_t minimum = 0;
    if (lead < 0x80) {
        code = lead;
        return 1;
    }
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        code = lead & 0x1F;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        code = lead & 0x0F;
        minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        code = lead & 0x07;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (i + length > text.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (next & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return 0;
    }
    return length;
}

// Calls `visit(code, bytes)` for every character of `text`; a malformed
// sequence counts as one U+FFFD.
template <typename Visit>
void ForEachChar(const std::string& text, Visit visit)
{
    static const std::string kReplacement = "\xEF\xBF\xBD";
    for (std::size_t i = 0; i < text.size();) {
        std::uint32_t code = 0;
        const std::size_t length = DecodeUtf8(text, i, code);
        if (length == 0) {
            visit(0xFFFDu, std::string_view(kReplacement));
            ++i;
        } else {
            visit(code, std::string_view(text).substr(i, length));
            i += length;
        }
    }
}

}  // namespace

std::string EscapeText(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    ForEachChar(text, [&out](std::uint32_t code, std::string_view bytes) {
        if (!IsXmlChar(code)) {
            return;
        }
        switch (code) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        case '\t': out += "&#x09;"; break;
        case '\n': out += "&#x0A;"; break;
        case '\r': out += "&#x0D;"; break;
        default: out += bytes; break;
        }
    });
    return out;
}

std::string RepairUtf8(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    ForEachChar(text, [&out](std::uint32_t, std::string_view bytes) { out += bytes; });
    return out;
}

}  // namespace Qmv2::XmlText
