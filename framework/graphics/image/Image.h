// An image: a list of frames, each a rectangle of some image data. One
// texture can carry a whole frame sheet, or each frame its own texture.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/core/object/BaseObject.h"
#include "framework/core/object/GFVector.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/graphics/image/ImageFrame.h"

namespace Qmv2 {

class Graphics;
class PropertyNode;

class Image : public BaseObject {
public:
    QMV_CLASS_TYPE(Image, BaseObject)

    // Frames cut from the data's whole area (none without data). Counts of 0
    // or less mean 1.
    Image(ImageData* data, std::int32_t frameCount, std::int32_t columnCount);
    // One frame per image data, each over its whole image.
    Image(const std::vector<ImageData*>& data, std::int32_t columnCount);

    // Frames from a property description over the image data: the "frames"
    // list (each with its rectangle and "offsetx", "offsety"), else a grid of
    // "framecount" frames in "columncount" columns or "rowcount" rows over the
    // description's rectangle.
    Image(PropertyNode* description, ImageData* data);

    // A grid larger than this is a broken description, not a frame sheet.
    static constexpr std::int32_t kMaxGridFrames = 65536;

    // "x", "y", "width", "height", then "minx", "miny", "maxx", "maxy", each
    // overriding the ones before; min and max place the rectangle by its
    // lower or upper edge, whichever way a negative size mirrors it.
    static ImageRect ReadRectangle(PropertyNode* node);

    // A new drawable image of one frame (no frame when the renderer cannot make it).
    static Image* CreateRenderTarget(std::int32_t width, std::int32_t height, bool alpha);

    // A new drawing object into the first frame's drawable texture; its target
    // is null for an image without frames or without a drawable texture.
    Graphics* CreateGraphics();

    // The frame grid: n frames in c columns over the rectangle, row by row.
    void AddFrames(ImageData* data, const ImageRect& rect, std::int32_t frameCount, std::int32_t columnCount);

    ImageFrame* GetFirstFrame() const { return m_Frames.IsEmpty() ? nullptr : m_Frames[0].Get(); }
    ImageFrame* GetFrame(std::int32_t index) const
    {
        return index >= 0 && index < m_Frames.GetCount() ? m_Frames[index].Get() : nullptr;
    }
    std::int32_t GetFrameCount() const { return m_Frames.GetCount(); }
    std::int32_t GetColumnCount() const { return m_ColumnCount; }

protected:
    void AddFrame(ImageFrame* frame) { m_Frames.PushBack(SmartPtr<ImageFrame>(frame)); }
    void SetColumnCount(std::int32_t columns) { m_ColumnCount = columns > 0 ? columns : 1; }

private:
    std::int32_t m_ColumnCount = 1;
    GFVector<SmartPtr<ImageFrame>> m_Frames;
};

}  // namespace Qmv2
