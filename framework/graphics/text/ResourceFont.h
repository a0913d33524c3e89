// The resource kind "Font": a property file that holds a font description
// ("font") and its layers ("layers": sheet image or mask, padding, colour).
#pragma once

#include <cstdint>
#include <string>

#include "framework/core/files/ResourceObject.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/graphics/text/FontBitmap.h"
#include "framework/graphics/GraphicsRecords.h"

namespace Qmv2 {

class ResourceFont : public ResourceObject {
    QMV_INDEXED_TYPE(ResourceFont)

    // Loads a layer's sheet from an image path and a mask path (either may be
    // empty) with the font's load flags. Answers the image set, or null with
    // the image resource's error code in `error`.
    using LayerImageLoader = SmartPtr<Image> (*)(const std::string& imagePath, const std::string& maskPath,
                                        std::uint32_t loadFlags, std::int32_t& error);

    explicit ResourceFont(PropertyNode* description);
    explicit ResourceFont(const std::string& fileName);
    ~ResourceFont() override = default;

    void Load() override;
    void Unload() override;
    BaseObject* GetContent() override { return m_Font.Get(); }
    bool HasSameFile(const ResourceObject& other) const override;
    std::string ToString() const override;

    FontBitmap* GetFont() const { return m_Font.Get(); }

    // Replaces the sheet loader (tests); null restores the default, an image
    // resource over the layer's files.
    static void SetLayerImageLoader(LayerImageLoader loader);

private:
    SmartPtr<FontBitmap> m_Font;
};

}  // namespace Qmv2
