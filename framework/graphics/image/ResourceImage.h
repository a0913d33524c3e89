// The image resource ("Image"): an image file (PNG or JPEG), optionally with a
// separate mask file that supplies the alpha channel, or an XML description of
// such a file, turned into one or more named images.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "framework/core/files/ResourceObject.h"
#include "framework/core/object/GFVector.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/graphics/image/Image.h"
#include "framework/graphics/image/iImageLoader.h"
#include "framework/graphics/GraphicsRecords.h"

namespace Qmv2 {

class PropertyNode;
class PropertyVector;

class ResourceImage : public ResourceObject {
    QMV_INDEXED_TYPE(ResourceImage)

    enum UseAlpha : std::int32_t { kAlphaOff = 0, kAlphaOn = 1, kAlphaAsLoaded = 2 };

    // No frame of a single texture may be larger than this; a larger sheet is
    // split into one texture per frame.
    static constexpr std::int32_t kMaxTextureSize = 1024;

    // The factory's creator for "Image": the resource keys and then the image
    // keys of the node; nothing is loaded yet.
    explicit ResourceImage(PropertyNode* description);
    // An image made by code from a file name (and a mask file when not empty).
    ResourceImage(const std::string& fileName, const std::string& maskFileName, std::int32_t frameCount);
    ~ResourceImage() override = default;

    // The base text, then "<width>x<height>" of the first image's first frame.
    std::string ToString() const override;
    // Loads the images; always marks the resource loaded, with its error code
    // telling whether the images exist. Changes nothing while the program has
    // drawn into the images' pixels.
    void Load() override;
    BaseObject* GetContent() override { return this; }
    // Frees the images, unless the program has changed their pixels.
    void Unload() override;
    // Another image resource with the same file and the same mask file.
    bool HasSameFile(const ResourceObject& other) const override;
    Image* GetFirstImage() override;

    // Attaches the PNG and JPEG loaders; a file name ending in "xml" becomes
    // the description file name.
    virtual void LoadImage();

    // "mask", "padding", "separateframes", "columncount", "framecount",
    // "rowcount", "usealphachannel".
    void ReadProperties(PropertyNode* description);

    // The image stored under `name` ("" for a resource of one image), or null.
    Image* GetImage(const std::string& name) const;
    std::int32_t GetImageCount() const { return static_cast<std::int32_t>(m_Images.size()); }
    const std::string& GetMaskFileName() const { return m_MaskFileName; }
    const std::string& GetDescriptionFileName() const { return m_DescriptionFileName; }
    std::int32_t GetFrameCount() const { return m_FrameCount; }
    std::int32_t GetColumnCount() const { return m_ColumnCount; }
    bool HasPadding() const { return m_Padding; }
    bool HasSeparateFrames() const { return m_SeparateFrames; }
    std::int32_t GetUseAlphaChannel() const { return m_UseAlphaChannel; }

private:
    // Whether any frame's pixels were changed after loading.
    bool UsesModifiedData() const;
    // Reads the description: the file names and the image descriptions.
    bool ReadDescription(SmartPtr<PropertyNode>& single, SmartPtr<PropertyVector>& list);
    // Decodes the file with the first loader that takes it and builds the images.
    void LoadImages(const std::string& path, PropertyNode* single, PropertyVector* list);
    void BuildImages(iImageLoader& loader, PropertyNode* single, PropertyVector* list);
    // Puts the mask file's values into the alpha of the first image's frames.
    void MergeMask();
    void DropLoaderData();

    std::string m_MaskFileName;
    std::string m_DescriptionFileName;
    std::unordered_map<std::string, SmartPtr<Image>> m_Images;
    GFVector<SmartPtr<iImageLoader>> m_Loaders;
    std::int32_t m_FrameCount = 1;
    std::int32_t m_ColumnCount = 1;
    bool m_Padding = false;
    bool m_SeparateFrames = false;
    std::int32_t m_UseAlphaChannel = kAlphaAsLoaded;
};

}  // namespace Qmv2
