// Where laid-out characters stand: one position per character and a summary
// of the furthest edges over all of them.
#pragma once

#include "framework/core/object/GFVector.h"
#include "framework/core/util/Point.h"

namespace Qmv2 {

// x, y: the top-left corner at which the glyph image is drawn, relative to
// the text's origin.
class FontCharPosition : public Point_t<float> {
public:
    FontCharPosition() = default;
    FontCharPosition(float px, float py, float image, float advance, float ink)
        : Point_t<float>(px, py), imageRight(image), advanceRight(advance), inkRight(ink)
    {
    }

    // The right edge of the glyph image, layer margin included.
    float imageRight = 0.0f;
    // Where the pen stands after the glyph, before kerning.
    float advanceRight = 0.0f;
    // The image right without the margin when another character follows,
    // else the image right.
    float inkRight = 0.0f;
};

// The positions of a laid-out range; the summary part holds the largest
// image, advance and ink right over them (x and y stay 0).
class FontCharPositions : public GFVector<FontCharPosition>, public FontCharPosition {
public:
    // Which summary value Measure answers.
    enum Summary { kImageRight = 0, kAdvanceRight = 1, kInkRight = 2 };

    float GetSummary(int which) const
    {
        switch (which) {
        case kImageRight: return imageRight;
        case kAdvanceRight: return advanceRight;
        case kInkRight: return inkRight;
        default: return 0.0f;
        }
    }
};

}  // namespace Qmv2
