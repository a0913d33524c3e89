#include "framework/graphics/image/ImageFrame.h"

namespace Qmv2 {

ImageFrame::ImageFrame(ImageData* data) : m_Data(data)
{
    if (data != nullptr) {
        m_Pixels = {0, 0, data->GetWidth(), data->GetHeight()};
    }
    m_Normalised = {0.0f, 0.0f, 1.0f, 1.0f};
}

ImageFrame::ImageFrame(ImageData* data, const ImageRect& rect, const PointF& offset)
    : m_Data(data), m_Pixels(rect), m_Offset(offset)
{
    const float width = data != nullptr ? static_cast<float>(data->GetWidth()) : 0.0f;
    const float height = data != nullptr ? static_cast<float>(data->GetHeight()) : 0.0f;
    if (width > 0.0f && height > 0.0f) {
        m_Normalised = {static_cast<float>(rect.x) / width, static_cast<float>(rect.y) / height,
                        static_cast<float>(rect.width) / width, static_cast<float>(rect.height) / height};
    }
}

}  // namespace Qmv2
