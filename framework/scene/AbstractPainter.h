// Draws a dialog's background from a list of named images of one resource
// section. The images are fetched on first use and their first frames kept
// by index; subclasses decide how the frames are composed.
#pragma once

#include <cstdint>
#include <string>

#include "framework/core/object/BaseObject.h"
#include "framework/scene/SceneRecords.h"
#include "framework/core/object/GFVector.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/util/Rect.h"
#include "framework/graphics/image/ImageFrame.h"

namespace Qmv2 {

class Graphics;
class PropertyNode;

class AbstractPainter : public BaseObject {
    QMV_INDEXED_TYPE(AbstractPainter)

    AbstractPainter() = default;
    // Reads "section" (which also marks the painter dirty) and "images".
    explicit AbstractPainter(PropertyNode* description);
    ~AbstractPainter() override = default;

    // Draws into `graphics`; an empty rectangle means the whole target.
    virtual void Paint(Graphics& graphics, const RectF& rect);
    // The first frame of image `index`, or null when there is none.
    virtual ImageFrame* GetImage(std::int32_t index);
    // The size a dialog should take for a requested one; the base painter
    // keeps the request.
    virtual float AdjustWidth(float requested) { return requested; }
    virtual float AdjustHeight(float requested) { return requested; }

    bool IsDirty() const noexcept { return m_Dirty; }
    void SetDirty(bool dirty) noexcept { m_Dirty = dirty; }
    bool IsLoaded() const noexcept { return m_Loaded; }
    const std::string& GetSection() const noexcept { return m_Section; }
    const GFVector<std::string>& GetImageNames() const noexcept { return m_ImageNames; }

protected:
    // Asks the resource manager once for every named image. A name the
    // manager does not know leaves its entry empty, so that part is simply
    // not drawn.
    void FetchImages();

private:
    bool m_Dirty = true;
    bool m_Loaded = false;
    std::string m_Section;
    GFVector<std::string> m_ImageNames;
    GFVector<SmartPtr<ImageFrame>> m_Images;
};

}  // namespace Qmv2
