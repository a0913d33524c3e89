#include "framework/graphics/image/Image.h"

#include "framework/graphics/draw/Graphics.h"
#include "framework/graphics/render/Renderer.h"
#include "framework/graphics/render/iRenderTarget.h"

namespace Qmv2 {

Image::Image(ImageData* data, std::int32_t frameCount, std::int32_t columnCount)
{
    SetColumnCount(columnCount);
    if (data != nullptr) {
        AddFrames(data, {0, 0, data->GetWidth(), data->GetHeight()}, frameCount, columnCount);
    }
}

Image::Image(const std::vector<ImageData*>& data, std::int32_t columnCount)
{
    SetColumnCount(columnCount);
    for (ImageData* entry : data) {
        if (entry != nullptr) {
            AddFrame(new ImageFrame(entry));
        }
    }
}

Image* Image::CreateRenderTarget(std::int32_t width, std::int32_t height, bool alpha)
{
    Renderer* renderer = Renderer::GetInstance();
    ImageData* data = renderer != nullptr ? renderer->CreateRenderTexture(width, height, alpha) : nullptr;
    SmartPtr<ImageData> held(data);
    return new Image(data, 1, 1);
}

Graphics* Image::CreateGraphics()
{
    iRenderTarget* target = nullptr;
    if (ImageFrame* frame = GetFirstFrame(); frame != nullptr && frame->GetImageData() != nullptr) {
        target = static_cast<iRenderTarget*>(frame->GetImageData()->GetInterface(&iRenderTarget::s_Type));
    }
    return new Graphics(target);
}

void Image::AddFrames(ImageData* data, const ImageRect& rect, std::int32_t frameCount, std::int32_t columnCount)
{
    const std::int32_t n = frameCount > 0 ? frameCount : 1;
    const std::int32_t c = columnCount > 0 ? columnCount : 1;
    const std::int32_t rows = (n + c - 1) / c;
    const std::int32_t frameWidth = rect.width / c;
    const std::int32_t frameHeight = rect.height / rows;
    for (std::int32_t i = 0; i < n; ++i) {
        const std::int32_t column = i % c;
        const std::int32_t row = i / c;
        AddFrame(new ImageFrame(data, {rect.x + column * frameWidth, rect.y + row * frameHeight, frameWidth,
                                       frameHeight},
                                PointF()));
    }
}

}  // namespace Qmv2
