// One frame of an image: a rectangle of some image data and a drawing offset.
#pragma once

#include <cstdint>

#include "framework/core/object/BaseObject.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/util/Point.h"
#include "framework/graphics/render/ImageData.h"

namespace Qmv2 {

struct ImageRect {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// A rectangle as fractions of the image data's pixel size.
struct ImageRectF {
    float u = 0.0f;
    float v = 0.0f;
    float width = 0.0f;
    float height = 0.0f;
};

class ImageFrame : public BaseObject {
public:
    // Over the data's whole image.
    explicit ImageFrame(ImageData* data);
    // Width and height may be negative (a mirrored frame).
    ImageFrame(ImageData* data, const ImageRect& rect, const PointF& offset);

    ImageData* GetImageData() const { return m_Data.Get(); }
    const ImageRectF& GetRect() const { return m_Normalised; }
    const ImageRect& GetPixelRect() const { return m_Pixels; }
    const PointF& GetOffset() const { return m_Offset; }

private:
    SmartPtr<ImageData> m_Data;
    ImageRectF m_Normalised;
    ImageRect m_Pixels;
    PointF m_Offset;
};

}  // namespace Qmv2
