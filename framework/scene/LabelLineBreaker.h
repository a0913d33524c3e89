// Breaks a text into label lines: split at line feeds, then kept whole,
// wrapped at blanks and hyphens, or cut with an ellipsis to fit a width.
#pragma once

#include <cstdint>
#include <functional>

#include "framework/core/object/GFVector.h"
#include "framework/core/util/UTF8String.h"

namespace Qmv2 {

class LabelLineBreaker {
public:
    enum WrapStyle { kAutoWidth = 0, kWordWrap = 1, kTruncate = 2 };

    // The width of a whole string.
    using Measure = std::function<float(const UTF8String&)>;

    LabelLineBreaker(Measure measure, float width, UTF8String ellipsis);

    // The lines of `text` in `style`; an unknown style gives no line.
    GFVector<UTF8String> Break(const UTF8String& text, std::int32_t style) const;

    // The pieces between line feeds: a piece before a line feed is kept even
    // when empty, a last piece only when it is not.
    static GFVector<UTF8String> SplitLines(const UTF8String& text);

    static bool IsWrapBlank(std::uint32_t code);
    static bool IsTruncationBlank(std::uint32_t code);

private:
    bool Fits(const UTF8String& text) const { return m_Measure(text) <= m_Width; }
    // How many code points from the start fit, at least 1.
    std::int32_t LongestFittingPrefix(const UTF8String& text) const;
    void Truncate(const UTF8String& piece, GFVector<UTF8String>& out) const;
    void Wrap(const UTF8String& piece, GFVector<UTF8String>& out) const;
    std::int32_t FindCut(const UTF8String& rest) const;

    Measure m_Measure;
    float m_Width;
    UTF8String m_Ellipsis;
};

}  // namespace Qmv2
