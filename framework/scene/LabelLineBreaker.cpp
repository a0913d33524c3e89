#include "framework/scene/LabelLineBreaker.h"

#include <utility>

namespace Qmv2 {

namespace {

std::uint32_t CodePointAt(const UTF8String& text, std::int32_t index)
{
    return text.GetCodePointAt(text.GetByteOffset(index));
}

UTF8String WithoutLeadingBlanks(UTF8String text)
{
    text.TrimWhitespace(false);
    return text;
}

}  // namespace

LabelLineBreaker::LabelLineBreaker(Measure measure, float width, UTF8String ellipsis)
    : m_Measure(std::move(measure)), m_Width(width), m_Ellipsis(std::move(ellipsis))
{
}

bool LabelLineBreaker::IsWrapBlank(std::uint32_t code)
{
    return code == 0x09 || code == 0x0A || code == 0x0D || code == 0x20 || (code >= 0x2000 && code <= 0x200B) ||
           code == 0x2028 || code == 0x2029 || code == 0x205F || code == 0x3000;
}

bool LabelLineBreaker::IsTruncationBlank(std::uint32_t code)
{
    return code == 0x20 || code == 0xA0 || (code >= 0x2000 && code <= 0x200B) || code == 0x202F ||
           code == 0x205F || code == 0x3000;
}

GFVector<UTF8String> LabelLineBreaker::SplitLines(const UTF8String& text)
{
    GFVector<UTF8String> pieces;
    const std::string& bytes = text.GetString();
    std::size_t start = 0;
    for (std::size_t end = bytes.find('\n'); end != std::string::npos; end = bytes.find('\n', start)) {
        pieces.PushBack(UTF8String(bytes.substr(start, end - start)));
        start = end + 1;
    }
    if (start < bytes.size()) {
        pieces.PushBack(UTF8String(bytes.substr(start)));
    }
    return pieces;
}

GFVector<UTF8String> LabelLineBreaker::Break(const UTF8String& text, std::int32_t style) const
{
    GFVector<UTF8String> lines;
    for (const UTF8String& piece : SplitLines(text)) {
        switch (style) {
        case kAutoWidth: lines.PushBack(piece); break;
        case kWordWrap: Wrap(piece, lines); break;
        case kTruncate: Truncate(piece, lines); break;
        default: break;
        }
    }
    return lines;
}

std::int32_t LabelLineBreaker::LongestFittingPrefix(const UTF8String& text) const
{
    std::int32_t count = 1;
    const std::int32_t length = text.GetLength();
    while (count < length && Fits(text.SubString(0, count + 1))) {
        ++count;
    }
    return count;
}

void LabelLineBreaker::Truncate(const UTF8String& piece, GFVector<UTF8String>& out) const
{
    if (piece.IsEmpty() || Fits(piece)) {
        out.PushBack(piece);
        return;
    }
    UTF8String result;
    const std::int32_t length = piece.GetLength();
    for (std::int32_t i = 1; i <= length; ++i) {
        // A cut never leaves a blank before the ellipsis.
        while (i <= length && IsTruncationBlank(CodePointAt(piece, i - 1))) {
            ++i;
        }
        if (i > length) {
            break;
        }
        UTF8String candidate(piece.SubString(0, i).GetString() + m_Ellipsis.GetString());
        if (!Fits(candidate)) {
            break;
        }
        result = candidate;
    }
    out.PushBack(result);
}

std::int32_t LabelLineBreaker::FindCut(const UTF8String& rest) const
{
    const std::int32_t length = rest.GetLength();
    std::int32_t cut = 1;
    bool found = false;
    for (std::int32_t i = 1; i < length; ++i) {
        if (!Fits(rest.SubString(0, i))) {
            return found ? cut : LongestFittingPrefix(rest);
        }
        const std::uint32_t c = CodePointAt(rest, i);
        if (IsWrapBlank(c)) {
            cut = i;
            found = true;
        } else if (c == '-') {
            // A hyphen before a digit is a minus sign, not a break.
            const bool last = i + 1 >= length;
            const std::uint32_t next = last ? 0 : CodePointAt(rest, i + 1);
            if (last || next < '0' || next > '9') {
                cut = i + 1;
                found = true;
            }
        }
    }
    return found ? cut : LongestFittingPrefix(rest);
}

void LabelLineBreaker::Wrap(const UTF8String& piece, GFVector<UTF8String>& out) const
{
    if (piece.IsEmpty() || Fits(piece)) {
        out.PushBack(piece);
        return;
    }
    UTF8String rest = piece;
    while (!rest.IsEmpty() && !Fits(rest)) {
        const std::int32_t length = rest.GetLength();
        const std::int32_t cut = FindCut(rest);
        out.PushBack(rest.SubString(0, cut));
        rest = cut < length ? WithoutLeadingBlanks(rest.SubString(cut, length - cut)) : UTF8String();
    }
    rest = WithoutLeadingBlanks(rest);
    if (!rest.IsEmpty()) {
        out.PushBack(rest);
    }
}

}  // namespace Qmv2
