// One laid-out line of label text: what the font draws and where.
#pragma once

#include "framework/core/util/Point.h"
#include "framework/core/util/UTF8String.h"

namespace Qmv2 {

struct FontLine {
    UTF8String text;
    float width = 0.0f;
    // Relative to the label's top-left corner.
    Point_t<float> position;
};

}  // namespace Qmv2
