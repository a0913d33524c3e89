#include "framework/graphics/image/ResourceImage.h"

#include <algorithm>
#include <cstdio>

#include "framework/core/files/FileLoader.h"
#include "framework/core/files/FilePath.h"
#include "framework/core/properties/MemoryBuffer.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyStore.h"
#include "framework/core/properties/PropertyVector.h"
#include "framework/core/util/FileSystem.h"
#include "framework/core/util/StringFunctions.h"
#include "framework/graphics/image/ImageLoaderJPG.h"
#include "framework/graphics/image/ImageLoaderPNG.h"
#include "framework/graphics/image/Mask.h"

namespace Qmv2 {

namespace {

// Present with a non-empty text other than "false".
bool ReadFlag(const PropertyNode& node, const char* key)
{
    if (!node.HasChild(key)) {
        return false;
    }
    const std::string text = node.GetString(key);
    return !text.empty() && text != "false";
}

// Frame and column counts: 1 .. the largest grid an image accepts.
std::int32_t ClampCount(std::int64_t count)
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(count, 1, Image::kMaxGridFrames));
}

std::int32_t RowCount(std::int32_t frames, std::int32_t columns)
{
    return (frames + columns - 1) / columns;
}

// A file named in a description, relative to the description's folder.
std::string Beside(const std::string& description, const std::string& name)
{
    const std::string path = NormalisePath(description);
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? name : path.substr(0, slash) + "/" + name;
}

}  // namespace

ResourceImage::ResourceImage(PropertyNode* description) : ResourceObject(description)
{
    ReadProperties(description);
    LoadImage();
}

ResourceImage::ResourceImage(const std::string& fileName, const std::string& maskFileName,
                             std::int32_t frameCount)
    : ResourceObject(fileName),
      m_MaskFileName(maskFileName.empty() ? std::string() : NormaliseResourceName(maskFileName)),
      m_FrameCount(ClampCount(frameCount))
{
    LoadImage();
}

void ResourceImage::ReadProperties(PropertyNode* description)
{
    const PropertyNode& node = *PropertyNode::AsNode(description);
    if (node.HasChild("mask")) {
        const std::string mask = node.GetString("mask");
        m_MaskFileName = mask.empty() ? std::string() : NormaliseResourceName(mask);
    }
    m_Padding = ReadFlag(node, "padding");
    m_SeparateFrames = ReadFlag(node, "separateframes");
    if (node.HasChild("columncount")) {
        m_ColumnCount = ClampCount(ParseColor(node.GetString("columncount")));
        m_FrameCount = m_ColumnCount;
    }
    const bool hasRows = node.HasChild("rowcount");
    const std::int32_t rows = hasRows ? ClampCount(ParseColor(node.GetString("rowcount"))) : 1;
    if (node.HasChild("framecount")) {
        m_FrameCount = ClampCount(ParseColor(node.GetString("framecount")));
        if (hasRows) {
            m_ColumnCount = RowCount(m_FrameCount, rows);
        }
    } else if (hasRows) {
        m_FrameCount = ClampCount(std::int64_t{m_ColumnCount} * rows);
    }
    if (node.HasChild("usealphachannel")) {
        m_UseAlphaChannel = ReadFlag(node, "usealphachannel") ? kAlphaOn : kAlphaOff;
    }
}

void ResourceImage::LoadImage()
{
    m_Loaders.PushBack(SmartPtr<iImageLoader>(new ImageLoaderPNG));
    m_Loaders.PushBack(SmartPtr<iImageLoader>(new ImageLoaderJPG));
    if (GetFileExtension(GetFileName()) == "xml") {
        m_DescriptionFileName = GetFileName();
        SetFileName(std::string());
    }
}

std::string ResourceImage::ToString() const
{
    std::string text = ResourceObject::ToString();
    if (!m_Images.empty()) {
        if (ImageFrame* frame = m_Images.begin()->second->GetFirstFrame()) {
            char size[32];
            std::snprintf(size, sizeof(size), "%dx%d", frame->GetPixelRect().width, frame->GetPixelRect().height);
            text += size;
        }
    }
    return text;
}

Image* ResourceImage::GetFirstImage()
{
    return m_Images.empty() ? nullptr : m_Images.begin()->second.Get();
}

Image* ResourceImage::GetImage(const std::string& name) const
{
    const auto found = m_Images.find(name);
    return found != m_Images.end() ? found->second.Get() : nullptr;
}

bool ResourceImage::HasSameFile(const ResourceObject& other) const
{
    if (!other.IsOfType(&s_Type)) {
        return false;
    }
    const auto& image = static_cast<const ResourceImage&>(other);
    return image.m_MaskFileName == m_MaskFileName && !GetFileName().empty() &&
           GetFileName() == image.GetFileName();
}

bool ResourceImage::UsesModifiedData() const
{
    for (const auto& [name, image] : m_Images) {
        for (std::int32_t i = 0; i < image->GetFrameCount(); ++i) {
            ImageData* data = image->GetFrame(i)->GetImageData();
            if (data != nullptr && data->IsModified()) {
                return true;
            }
        }
    }
    return false;
}

void ResourceImage::DropLoaderData()
{
    for (SmartPtr<iImageLoader>& loader : m_Loaders) {
        loader->DropImageData();
    }
}

void ResourceImage::Unload()
{
    if (UsesModifiedData()) {
        return;
    }
    ResourceObject::Unload();
    m_Images.clear();
    DropLoaderData();
}

void ResourceImage::Load()
{
    if (UsesModifiedData()) {
        // The program drew into these pixels: keep them as they are.
        SetLoaded();
        return;
    }
    SetError(kErrorNone);
    m_Images.clear();
    SmartPtr<PropertyNode> single;
    SmartPtr<PropertyVector> list;
    if (!m_DescriptionFileName.empty() && !ReadDescription(single, list)) {
        SetError(kErrorSubResource);
    }
    const std::string path = !GetFileName().empty() ? GetFileName() : m_MaskFileName;
    if (path.empty()) {
        SetError(kErrorFileNameEmpty);
    } else if (!FileExists(path)) {
        SetError(kErrorFileNotFound);
    } else if (!HasFailed()) {
        LoadImages(path, single.Get(), list.Get());
    }
    if (m_Images.empty()) {
        DropLoaderData();
        if (!HasFailed()) {
            SetError(kErrorUnspecified);
        }
    } else if (!GetFileName().empty() && !m_MaskFileName.empty()) {
        MergeMask();
    }
    DropLoaderData();
    SetLoaded();
}

bool ResourceImage::ReadDescription(SmartPtr<PropertyNode>& single, SmartPtr<PropertyVector>& list)
{
    SmartPtr<PropertyStore> store(new PropertyStore(m_DescriptionFileName));
    store->SetLoadFlags(GetLoadFlags());
    const bool read = store->Load();
    AbstractProperty* child = store->GetChild("image");
    if (!read || child == nullptr || !child->IsOfType(&PropertyNode::s_Type)) {
        return false;
    }
    auto* image = static_cast<PropertyNode*>(child);
    SetFileName(Beside(m_DescriptionFileName, image->GetString("file")));
    if (image->HasChild("mask")) {
        m_MaskFileName = NormaliseResourceName(Beside(m_DescriptionFileName, image->GetString("mask")));
    }
    AbstractProperty* images = image->GetChild("images");
    if (images != nullptr && images->IsOfType(&PropertyVector::s_Type)) {
        list = static_cast<PropertyVector*>(images);
    } else {
        single = image;
    }
    return true;
}

void ResourceImage::LoadImages(const std::string& path, PropertyNode* single, PropertyVector* list)
{
    std::uint32_t flags = GetFileName().empty() ? std::uint32_t{iImageLoader::kMaskOnly} : 0u;
    if (m_Padding) {
        flags |= iImageLoader::kPadding;
    }
    MemoryBuffer_t<unsigned char> buffer;
    if (s_DefaultLoadFlags != 0 && !LoadFile(path, buffer, GetLoadFlags())) {
        buffer.Free();
    }
    for (SmartPtr<iImageLoader>& loader : m_Loaders) {
        if (!loader->CanLoad(path)) {
            continue;
        }
        loader->SetMemory(buffer.GetData(), static_cast<std::int32_t>(std::min<std::size_t>(buffer.GetSize(), INT32_MAX)));
        loader->SetFlags(flags);
        loader->SetPath(path);
        loader->SetFrames(1, 1);
        std::int32_t width = 0;
        std::int32_t height = 0;
        if (!loader->ReadSize(width, height)) {
            SetError(kErrorInvalidFormat);
            continue;
        }
        SetError(kErrorNone);
        const std::int32_t rows = RowCount(m_FrameCount, m_ColumnCount);
        if (m_SeparateFrames) {
            loader->SetFrames(m_FrameCount, m_ColumnCount);
        }
        if (width > kMaxTextureSize || height > kMaxTextureSize) {
            if (width / m_ColumnCount > kMaxTextureSize || height / rows > kMaxTextureSize) {
                SetError(kErrorTooBig);
                return;
            }
            // Too large for one texture: one texture per frame.
            loader->SetFrames(m_FrameCount, m_ColumnCount);
        }
        if (!loader->Load()) {
            SetError(kErrorInvalidFormat);
            return;
        }
        if (m_UseAlphaChannel != kAlphaAsLoaded) {
            for (const SmartPtr<ImageData>& data : loader->GetImageData()) {
                data->SetHasAlpha(m_UseAlphaChannel == kAlphaOn);
            }
        }
        BuildImages(*loader, single, list);
        if (m_Images.empty()) {
            SetError(kErrorInvalidFormat);
        }
        return;
    }
}

void ResourceImage::BuildImages(iImageLoader& loader, PropertyNode* single, PropertyVector* list)
{
    const GFVector<SmartPtr<ImageData>>& made = loader.GetImageData();
    if (made.IsEmpty()) {
        return;
    }
    if (list != nullptr) {
        for (const SmartPtr<AbstractProperty>& item : list->GetItems()) {
            PropertyNode* node = PropertyNode::AsNode(item.Get());
            m_Images[node->GetString("name")] = SmartPtr<Image>(new Image(node, made[0].Get()));
        }
    } else if (single != nullptr) {
        m_Images[std::string()] = SmartPtr<Image>(new Image(single, made[0].Get()));
    } else if (made.GetCount() == 1) {
        m_Images[std::string()] = SmartPtr<Image>(new Image(made[0].Get(), m_FrameCount, m_ColumnCount));
    } else {
        std::vector<ImageData*> all;
        for (const SmartPtr<ImageData>& data : made) {
            all.push_back(data.Get());
        }
        m_Images[std::string()] = SmartPtr<Image>(new Image(all, m_ColumnCount));
    }
}

void ResourceImage::MergeMask()
{
    SmartPtr<Mask> mask(new Mask(m_MaskFileName, Mask::kAlphaMask));
    mask->Load();
    const MaskData* values = mask->GetMaskData();
    Image* image = GetFirstImage();
    if (mask->HasFailed() || values == nullptr || values->GetBitsPerPixel() != 8 || image == nullptr ||
        image->GetFrameCount() == 0) {
        SetError(kErrorSubResource);
        return;
    }
    // One texture under every frame: merge it once; else each frame's own.
    ImageData* shared = image->GetFrame(0)->GetImageData();
    bool oneTexture = true;
    for (const auto& [name, each] : m_Images) {
        for (std::int32_t i = 0; i < each->GetFrameCount(); ++i) {
            oneTexture = oneTexture && each->GetFrame(i)->GetImageData() == shared;
        }
    }
    const std::int32_t count = oneTexture ? 1 : image->GetFrameCount();
    // A mask that does not cover every frame it would be read for is refused.
    for (std::int32_t i = 0; i < count; ++i) {
        const ImageData* data = image->GetFrame(i)->GetImageData();
        const std::int64_t right = std::int64_t{i % m_ColumnCount + 1} * data->GetWidth();
        const std::int64_t bottom = std::int64_t{i / m_ColumnCount + 1} * data->GetHeight();
        if (right > values->GetWidth() || bottom > values->GetHeight()) {
            SetError(kErrorSubResource);
            return;
        }
    }
    for (std::int32_t i = 0; i < count; ++i) {
        ImageData& data = *image->GetFrame(i)->GetImageData();
        if (!data.Lock(false) || data.GetBits() == nullptr) {
            data.Unlock();
            SetError(kErrorSubResource);
            continue;
        }
        const std::int32_t left = (i % m_ColumnCount) * data.GetWidth();
        const std::int32_t top = (i / m_ColumnCount) * data.GetHeight();
        const bool padX = m_Padding && data.GetTextureWidth() > data.GetWidth();
        const bool padY = m_Padding && data.GetTextureHeight() > data.GetHeight();
        auto* bits = static_cast<std::uint8_t*>(data.GetBits());
        for (std::int32_t y = 0; y < data.GetHeight() + (padY ? 1 : 0); ++y) {
            const std::int32_t maskY = top + std::min(y, data.GetHeight() - 1);
            auto* row = reinterpret_cast<std::uint32_t*>(bits + static_cast<std::ptrdiff_t>(y) * data.GetPitch());
            for (std::int32_t x = 0; x < data.GetWidth() + (padX ? 1 : 0); ++x) {
                const std::int32_t maskX = left + std::min(x, data.GetWidth() - 1);
                row[x] = (row[x] & 0x00FFFFFFu) | (std::uint32_t{values->GetValue(maskX, maskY)} << 24);
            }
        }
        data.SetAlphaOnly(false);
        data.SetHasAlpha(m_UseAlphaChannel != kAlphaOff);
        data.Unlock();
        // Part of the load, not a change by the program: the resource may
        // still be unloaded and loaded again.
        data.SetModified(false);
    }
}

}  // namespace Qmv2
