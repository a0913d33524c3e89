#include "framework/core/util/UTF8String.h"

#include "framework/core/util/LowerCaseTable.h"
#include "framework/core/util/StringFunctions.h"

#include <algorithm>

namespace Qmv2 {

namespace {

bool IsLead(unsigned char byte)
{
    return (byte & 0xC0) != 0x80;
}

// Length of the sequence at offset, cut to one byte when it would run past
// the end of the text.
std::size_t SequenceAt(const std::string& bytes, std::size_t offset)
{
    const std::size_t length = Utf8SequenceLength(static_cast<unsigned char>(bytes[offset]));
    return offset + length <= bytes.size() ? length : 1;
}

std::uint32_t DecodeAt(const std::string& bytes, std::size_t offset)
{
    auto b = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[offset + i])); };
    switch (SequenceAt(bytes, offset)) {
    case 2:
        return (b(0) & 0x1F) << 6 | (b(1) & 0x3F);
    case 3:
        return (b(0) & 0x0F) << 12 | (b(1) & 0x3F) << 6 | (b(2) & 0x3F);
    case 4:
        return (b(0) & 0x07) << 18 | (b(1) & 0x3F) << 12 | (b(2) & 0x3F) << 6 | (b(3) & 0x3F);
    default:
        return b(0);
    }
}

// The code points of a text, one per lead byte, with the offset of each, so
// that indexes agree with GetLength and GetByteOffset even for invalid text.
struct CodePointSpan {
    std::size_t offset;
    std::uint32_t codePoint;
};

std::vector<CodePointSpan> Spans(const std::string& bytes)
{
    std::vector<CodePointSpan> spans;
    for (std::size_t offset = 0; offset < bytes.size(); ++offset) {
        if (IsLead(static_cast<unsigned char>(bytes[offset])))
            spans.push_back({offset, DecodeAt(bytes, offset)});
    }
    return spans;
}

bool InSet(const std::vector<CodePointSpan>& set, std::uint32_t codePoint)
{
    return std::any_of(set.begin(), set.end(),
                       [codePoint](const CodePointSpan& s) { return s.codePoint == codePoint; });
}

} // namespace

int Utf8SequenceLength(unsigned char lead)
{
    if (lead >= 0xF5 || lead == 0xC0 || lead == 0xC1)
        return 1;
    if (lead >= 0xF0)
        return 4;
    if (lead >= 0xE0)
        return 3;
    if (lead >= 0xC2)
        return 2;
    return 1;
}

std::string EncodeCodePoint(std::uint32_t cp)
{
    std::string out;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | cp >> 6);
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | cp >> 12);
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x200000) {
        out += static_cast<char>(0xF0 | cp >> 18);
        out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return out;
}

std::string CodePointToLower(std::uint32_t codePoint)
{
    if (codePoint == 0)
        return std::string();
    const LowerCaseRow* row = LowerCaseTable::Find(codePoint);
    if (!row)
        return EncodeCodePoint(codePoint);
    std::string out;
    for (std::uint32_t mapped : row->lower) {
        if (mapped == 0)
            break;
        out += EncodeCodePoint(mapped);
    }
    return out;
}

Utf8Iterator::Utf8Iterator(const UTF8String& text)
    : string(&text), byteOffset(0), index(0), codePoint(text.GetCodePointAt(0))
{
}

void Utf8Advance(Utf8Iterator& it, std::int32_t n)
{
    const std::string& bytes = it.string->GetString();
    for (; n > 0 && static_cast<std::size_t>(it.byteOffset) < bytes.size(); --n) {
        it.byteOffset += static_cast<std::int32_t>(SequenceAt(bytes, it.byteOffset));
        ++it.index;
    }
    it.codePoint = it.string->GetCodePointAt(it.byteOffset);
}

UTF8String::UTF8String() = default;

UTF8String::UTF8String(const char* text)
    : m_Bytes(text ? text : ""), m_Stale(true)
{
}

UTF8String::UTF8String(const std::string& text)
    : m_Bytes(text), m_Stale(!text.empty())
{
}

void UTF8String::MarkChanged()
{
    m_Stale = true;
}

std::int32_t UTF8String::GetLength() const
{
    if (m_Stale) {
        m_Count = static_cast<std::int32_t>(std::count_if(
            m_Bytes.begin(), m_Bytes.end(), [](char c) { return IsLead(static_cast<unsigned char>(c)); }));
        m_Stale = false;
    }
    return m_Count;
}

std::int32_t UTF8String::GetByteOffset(std::int32_t n) const
{
    std::int32_t seen = 0;
    for (std::size_t i = 0; i < m_Bytes.size(); ++i) {
        if (IsLead(static_cast<unsigned char>(m_Bytes[i]))) {
            if (seen >= n)
                return static_cast<std::int32_t>(i);
            ++seen;
        }
    }
    return GetByteLength();
}

std::int32_t UTF8String::GetCodePointIndex(std::int32_t byteOffset) const
{
    if (byteOffset < 0)
        return -1;
    const std::size_t end = std::min(static_cast<std::size_t>(byteOffset), m_Bytes.size());
    return static_cast<std::int32_t>(std::count_if(
        m_Bytes.begin(), m_Bytes.begin() + end, [](char c) { return IsLead(static_cast<unsigned char>(c)); }));
}

std::int32_t UTF8String::GetPreviousLead(std::int32_t byteOffset) const
{
    std::int32_t i = std::min(byteOffset - 1, GetByteLength() - 1);
    for (; i >= 0; --i) {
        if (IsLead(static_cast<unsigned char>(m_Bytes[i])))
            return i;
    }
    return -1;
}

std::uint32_t UTF8String::GetCodePointAt(std::int32_t byteOffset) const
{
    if (byteOffset < 0 || byteOffset >= GetByteLength())
        return 0;
    return DecodeAt(m_Bytes, byteOffset);
}

std::int32_t UTF8String::Find(std::uint32_t codePoint) const
{
    const std::vector<CodePointSpan> spans = Spans(m_Bytes);
    for (std::size_t i = 0; i < spans.size(); ++i) {
        if (spans[i].codePoint == codePoint)
            return static_cast<std::int32_t>(i);
    }
    return -1;
}

std::int32_t UTF8String::FindFirstOf(const UTF8String& set, std::int32_t from) const
{
    const std::vector<CodePointSpan> spans = Spans(m_Bytes);
    const std::vector<CodePointSpan> members = Spans(set.m_Bytes);
    for (std::size_t i = static_cast<std::size_t>(std::max(from, 0)); i < spans.size(); ++i) {
        if (InSet(members, spans[i].codePoint))
            return static_cast<std::int32_t>(i);
    }
    return -1;
}

std::int32_t UTF8String::FindLastOf(const UTF8String& set, std::int32_t from) const
{
    const std::vector<CodePointSpan> spans = Spans(m_Bytes);
    const std::vector<CodePointSpan> members = Spans(set.m_Bytes);
    const std::int32_t last = static_cast<std::int32_t>(spans.size()) - 1;
    std::int32_t i = (from < 0 || from > last) ? last : from;
    for (; i >= 0; --i) {
        if (InSet(members, spans[i].codePoint))
            return i;
    }
    return -1;
}

UTF8String UTF8String::SubString(std::int32_t start, std::int32_t count) const
{
    if (count <= 0)
        return UTF8String();
    start = std::max(start, 0);
    const std::int32_t first = GetByteOffset(start);
    const std::int64_t endIndex = static_cast<std::int64_t>(start) + count;
    const std::int32_t last = endIndex >= GetLength() ? GetByteLength() : GetByteOffset(static_cast<std::int32_t>(endIndex));
    return UTF8String(m_Bytes.substr(first, last - first));
}

void UTF8String::Erase(std::int32_t start, std::int32_t count)
{
    if (count <= 0)
        return;
    start = std::max(start, 0);
    const std::int32_t first = GetByteOffset(start);
    const std::int64_t endIndex = static_cast<std::int64_t>(start) + count;
    const std::int32_t last = endIndex >= GetLength() ? GetByteLength() : GetByteOffset(static_cast<std::int32_t>(endIndex));
    if (last > first) {
        m_Bytes.erase(first, last - first);
        MarkChanged();
    }
}

bool UTF8String::ReplaceAll(const std::string& pattern, const std::string& replacement)
{
    const bool replaced = Qmv2::ReplaceAll(m_Bytes, pattern, replacement);
    if (replaced)
        MarkChanged();
    return replaced;
}

void UTF8String::AppendChar(std::uint32_t codePoint)
{
    m_Bytes += EncodeCodePoint(codePoint);
    MarkChanged();
}

UTF8String UTF8String::operator+(const char* text) const
{
    return UTF8String(m_Bytes + (text ? text : ""));
}

UTF8String UTF8String::FromCodePoint(std::uint32_t codePoint)
{
    return UTF8String(EncodeCodePoint(codePoint));
}

void UTF8String::Trim(const UTF8String& set, bool trimEnd)
{
    const std::vector<CodePointSpan> spans = Spans(m_Bytes);
    const std::vector<CodePointSpan> members = Spans(set.m_Bytes);
    const std::int32_t final = static_cast<std::int32_t>(spans.size()) - 1;
    std::int32_t first = -1;
    std::int32_t last = final;
    for (std::int32_t i = 0; i <= final; ++i) {
        if (!InSet(members, spans[i].codePoint)) {
            if (first < 0)
                first = i;
            if (trimEnd)
                last = i;
        }
    }
    if (first < 0) {
        if (!m_Bytes.empty()) {
            m_Bytes.clear();
            MarkChanged();
        }
        return;
    }
    if (first == 0 && last == final)
        return;
    *this = SubString(first, last - first + 1);
}

void UTF8String::TrimWhitespace(bool trimEnd)
{
    static const UTF8String kBlanks(std::string(" \t\xE2\x80\x82\xC2\xA0"));
    Trim(kBlanks, trimEnd);
}

void UTF8String::Split(const std::string& separator, GFVector<UTF8String>& pieces, bool keepEmpty) const
{
    if (separator.empty()) {
        if (!m_Bytes.empty())
            pieces.PushBack(*this);
        return;
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t found = m_Bytes.find(separator, start);
        if (found == std::string::npos)
            break;
        if (found > start || keepEmpty)
            pieces.PushBack(UTF8String(m_Bytes.substr(start, found - start)));
        start = found + separator.size();
    }
    if (start < m_Bytes.size())
        pieces.PushBack(UTF8String(m_Bytes.substr(start)));
}

UTF8String UTF8String::ToLower() const
{
    std::string out;
    out.reserve(m_Bytes.size());
    for (std::size_t offset = 0; offset < m_Bytes.size();) {
        const unsigned char lead = static_cast<unsigned char>(m_Bytes[offset]);
        const std::size_t length = SequenceAt(m_Bytes, offset);
        // A stray or cut-off byte decodes as its own value; it is not a
        // character to be mapped.
        const bool whole = lead < 0x80 || (length > 1 && length == static_cast<std::size_t>(Utf8SequenceLength(lead)));
        const LowerCaseRow* row = whole ? LowerCaseTable::Find(DecodeAt(m_Bytes, offset)) : nullptr;
        if (row)
            out += CodePointToLower(row->codePoint);
        else
            out.append(m_Bytes, offset, length);   // unmapped bytes stay as they are
        offset += length;
    }
    return UTF8String(out);
}

} // namespace Qmv2
