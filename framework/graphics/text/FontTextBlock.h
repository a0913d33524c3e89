// What a font draws in one call: lines of text at their positions, colours
// that replace the layers' own by layer index, and extra character spacing.
#pragma once

#include "framework/core/object/GFVector.h"
#include "framework/core/util/Color.h"
#include "framework/core/util/UTF8String.h"

namespace Qmv2 {

struct FontTextLine {
    UTF8String text;
    float x = 0.0f;
    float y = 0.0f;
};

struct FontTextBlock {
    GFVector<FontTextLine> lines;
    GFVector<Color> colors;
    float extraSpacing = 0.0f;
};

}  // namespace Qmv2
