// One sheet of a bitmap font: every glyph drawn with the layer's padding
// round each cell and, for sheets that carry only alpha, tinted with the
// layer's colour. Layers stack: a shadow or outline lies under the face.
#pragma once

#include "framework/graphics/GraphicsRecords.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/util/Color.h"
#include "framework/graphics/image/Image.h"

namespace Qmv2 {

class FontLayer : public BaseObject {
    QMV_INDEXED_TYPE(FontLayer)

    FontLayer(float padding, const Color& color, Image* imageSet)
        : m_Padding(padding), m_Color(color), m_ImageSet(imageSet)
    {
    }

    float GetPadding() const { return m_Padding; }
    const Color& GetColor() const { return m_Color; }
    Image* GetImageSet() const { return m_ImageSet.Get(); }
    // The frame glyphs are cut from, or null when the set holds none.
    ImageFrame* GetSheet() const { return m_ImageSet ? m_ImageSet->GetFirstFrame() : nullptr; }
    // Whether the sheet carries only alpha (colour then comes from the layer).
    bool IsAlphaOnly() const
    {
        ImageFrame* sheet = GetSheet();
        return sheet != nullptr && sheet->GetImageData() != nullptr && sheet->GetImageData()->IsAlphaOnly();
    }

private:
    float m_Padding = 0.0f;
    Color m_Color;
    SmartPtr<Image> m_ImageSet;
};

}  // namespace Qmv2
