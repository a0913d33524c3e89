#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/core/object/GFVector.h"

namespace Qmv2 {

// UTF-8 text with operations indexed by code point. The bytes are never
// validated: a byte whose two top bits are not 10 starts a code point, and a
// sequence that runs past the end of the text is read as its lead byte alone.
class UTF8String {
public:
    UTF8String();
    UTF8String(const char* text);          // null reads as the empty text
    UTF8String(const std::string& text);
    UTF8String(const UTF8String& other) = default;
    UTF8String& operator=(const UTF8String& other) = default;

    const std::string& GetString() const { return m_Bytes; }
    const char* c_str() const { return m_Bytes.c_str(); }
    std::int32_t GetByteLength() const { return static_cast<std::int32_t>(m_Bytes.size()); }
    bool IsEmpty() const { return m_Bytes.empty(); }

    // Number of code points; recounted only after a change.
    std::int32_t GetLength() const;

    // Byte offset of the n-th code point; the byte length at or past the end.
    std::int32_t GetByteOffset(std::int32_t n) const;
    // Number of code points that start before the offset (clamped to the
    // length); -1 for a negative offset.
    std::int32_t GetCodePointIndex(std::int32_t byteOffset) const;
    // The nearest lead byte at or before offset - 1 (clamped to the last
    // byte); -1 when there is none.
    std::int32_t GetPreviousLead(std::int32_t byteOffset) const;
    // The code point decoded at a byte offset; 0 outside the text.
    std::uint32_t GetCodePointAt(std::int32_t byteOffset) const;

    // Code-point index of the first occurrence, else -1.
    std::int32_t Find(std::uint32_t codePoint) const;
    // Scanning forward from index, the first code point that occurs in set.
    std::int32_t FindFirstOf(const UTF8String& set, std::int32_t from = 0) const;
    // Scanning backward from index (-1: the last code point).
    std::int32_t FindLastOf(const UTF8String& set, std::int32_t from = -1) const;

    // count code points from start; ranges past the end are clamped and a
    // negative count selects nothing.
    UTF8String SubString(std::int32_t start, std::int32_t count) const;
    void Erase(std::int32_t start, std::int32_t count);

    // Byte-wise replacement, see Qmv2::ReplaceAll; answers whether anything
    // was replaced.
    bool ReplaceAll(const std::string& pattern, const std::string& replacement);

    void AppendChar(std::uint32_t codePoint);
    UTF8String operator+(const char* text) const;
    static UTF8String FromCodePoint(std::uint32_t codePoint);

    // Removes the leading code points found in set and, when trimEnd is
    // true, the trailing ones.
    void Trim(const UTF8String& set, bool trimEnd);
    // Trim with space, tab, en space (U+2002) and no-break space (U+00A0).
    void TrimWhitespace(bool trimEnd);

    // Appends the pieces between occurrences of separator (found byte-wise);
    // empty pieces only when keepEmpty is true.
    void Split(const std::string& separator, GFVector<UTF8String>& pieces, bool keepEmpty) const;

    // Every code point replaced by its lower-case mapping.
    UTF8String ToLower() const;

    bool operator==(const UTF8String& other) const { return m_Bytes == other.m_Bytes; }
    bool operator!=(const UTF8String& other) const { return m_Bytes != other.m_Bytes; }

private:
    void MarkChanged();

    std::string m_Bytes;
    mutable bool m_Stale = false;
    mutable std::int32_t m_Count = 0;
};

// Walks a string code point by code point.
struct Utf8Iterator {
    explicit Utf8Iterator(const UTF8String& text);

    const UTF8String* string;
    std::int32_t byteOffset;
    std::int32_t index;
    std::uint32_t codePoint;   // 0 past the end
};

// Bytes of the sequence that starts with this lead byte (1 to 4).
int Utf8SequenceLength(unsigned char lead);

// Moves the iterator n code points forward, never past the end.
void Utf8Advance(Utf8Iterator& it, std::int32_t n);

// UTF-8 of the lower-case mapping of a code point: its own encoding when it
// has none, the empty text for 0.
std::string CodePointToLower(std::uint32_t codePoint);

// UTF-8 encoding of a code point; empty for values of 0x200000 and above.
std::string EncodeCodePoint(std::uint32_t codePoint);

} // namespace Qmv2
