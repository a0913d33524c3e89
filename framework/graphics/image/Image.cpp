#include "framework/graphics/image/Image.h"

#include <algorithm>
#include <cstdint>

#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/core/properties/PropertyVector.h"

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

Image::Image(PropertyNode* description, ImageData* data)
{
    PropertyNode* node = PropertyNode::AsNode(description);
    if (node->HasChild("frames")) {
        for (const SmartPtr<AbstractProperty>& entry : node->GetVector("frames")->GetItems()) {
            PropertyNode* frame = PropertyNode::AsNode(entry.Get());
            const PointF offset(frame->GetValue("offsetx")->GetFloat(), frame->GetValue("offsety")->GetFloat());
            AddFrame(new ImageFrame(data, ReadRectangle(frame), offset));
        }
        return;
    }
    std::int64_t frames = 1;
    std::int64_t columns = 1;
    if (node->HasChild("columncount")) {
        columns = std::max<std::int64_t>(node->GetValue("columncount")->GetInt(), 1);
        frames = columns;
    }
    const bool hasRows = node->HasChild("rowcount");
    const std::int64_t rows = hasRows ? std::max<std::int64_t>(node->GetValue("rowcount")->GetInt(), 1) : 1;
    if (node->HasChild("framecount")) {
        frames = node->GetValue("framecount")->GetInt();
        if (hasRows) {
            columns = std::max<std::int64_t>((frames + rows - 1) / rows, 1);
        }
    } else if (hasRows) {
        frames = columns * rows;
    }
    frames = std::clamp<std::int64_t>(frames, 1, kMaxGridFrames);
    columns = std::clamp<std::int64_t>(columns, 1, kMaxGridFrames);
    AddFrames(data, ReadRectangle(node), static_cast<std::int32_t>(frames), static_cast<std::int32_t>(columns));
}

ImageRect Image::ReadRectangle(PropertyNode* description)
{
    PropertyNode* node = PropertyNode::AsNode(description);
    ImageRect rect;
    auto read = [node](const char* key, auto apply) {
        if (node->HasChild(key)) {
            apply(node->GetValue(key)->GetInt());
        }
    };
    read("x", [&rect](std::int32_t v) { rect.x = v; });
    read("y", [&rect](std::int32_t v) { rect.y = v; });
    read("width", [&rect](std::int32_t v) { rect.width = v; });
    read("height", [&rect](std::int32_t v) { rect.height = v; });
    // Edge minus size, kept in range whatever numbers the file holds.
    auto minus = [](std::int32_t edge, std::int32_t size) {
        return static_cast<std::int32_t>(std::clamp<std::int64_t>(std::int64_t{edge} - size, INT32_MIN, INT32_MAX));
    };
    read("minx", [&](std::int32_t v) { rect.x = rect.width >= 0 ? v : minus(v, rect.width); });
    read("miny", [&](std::int32_t v) { rect.y = rect.height >= 0 ? v : minus(v, rect.height); });
    read("maxx", [&](std::int32_t v) { rect.x = rect.width >= 0 ? minus(v, rect.width) : v; });
    read("maxy", [&](std::int32_t v) { rect.y = rect.height >= 0 ? minus(v, rect.height) : v; });
    return rect;
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
