// A font with fixed metrics for layout tests: every letter and the
// punctuation used by the tests is 8 wide, 10 high and advances 10; a space
// advances 5; lines are 12 apart. A word of n letters is 10n - 2 wide.
#pragma once

#include <initializer_list>
#include <string>
#include <utility>

#include "framework/core/object/SmartPtr.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/graphics/text/FontBitmap.h"

namespace texttest {

// A node of untyped values.
Qmv2::PropertyNode* MakeNode(std::initializer_list<std::pair<const char*, std::string>> values);
// A glyph node "c" with the given metrics.
Qmv2::PropertyNode* MakeGlyph(const std::string& c, float sw, float sh, float width, float bx = 0, float by = 0);

// The fixed-metric description; `padding` adds a layer without sheet of
// that padding (the glyph margin).
Qmv2::SmartPtr<Qmv2::FontBitmap> MakeFixedFont(float padding = 0.0f);

}  // namespace texttest
