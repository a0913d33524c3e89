#include "framework/graphics/text/ResourceFont.h"

#include <cstdio>

#include "framework/core/files/FileLoader.h"
#include "framework/core/properties/PropertyStore.h"
#include "framework/graphics/image/Image.h"
#include "framework/graphics/image/ResourceImage.h"

namespace Qmv2 {

namespace {

// The sheet through an image resource over the image and mask files, with
// the font's load flags.
SmartPtr<Image> LoadLayerImage(const std::string& imagePath, const std::string& maskPath, std::uint32_t loadFlags,
                      std::int32_t& error)
{
    SmartPtr<PropertyNode> description(new PropertyNode());
    if (!imagePath.empty()) {
        description->AddChild(new PropertyValue("file", imagePath, true));
    }
    if (!maskPath.empty()) {
        description->AddChild(new PropertyValue("mask", maskPath, true));
    }
    if (const char* word = ArchiveTypeWord(loadFlags)) {
        description->AddChild(new PropertyValue("archive", std::string(word), true));
    }
    SmartPtr<ResourceImage> resource(new ResourceImage(description.Get()));
    resource->Load();
    error = resource->GetErrorCode();
    return error == ResourceObject::kErrorNone ? SmartPtr<Image>(resource->GetFirstImage()) : SmartPtr<Image>();
}

ResourceFont::LayerImageLoader g_LayerLoader = nullptr;

}  // namespace

void ResourceFont::SetLayerImageLoader(LayerImageLoader loader)
{
    g_LayerLoader = loader;
}

ResourceFont::ResourceFont(PropertyNode* description) : ResourceObject(description)
{
}

ResourceFont::ResourceFont(const std::string& fileName) : ResourceObject(fileName)
{
}

void ResourceFont::Load()
{
    m_Font.Reset();
    SmartPtr<PropertyStore> store(new PropertyStore());
    store->SetLoadFlags(GetLoadFlags());
    const std::string& fileName = GetFileName();
    if (fileName.empty() || !store->LoadFile(GetLoadFlags(), fileName) || store->GetChildCount() == 0) {
        SetError(kErrorSubResource);
        SetLoaded();
        return;
    }
    const std::size_t slash = fileName.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : fileName.substr(0, slash);
    const auto inFolder = [&folder](const std::string& name) { return folder + "/" + name; };

    m_Font = new FontBitmap(store->GetNode("font"));
    const LayerImageLoader loader = g_LayerLoader != nullptr ? g_LayerLoader : &LoadLayerImage;
    for (const SmartPtr<AbstractProperty>& item : store->GetVector("layers")->GetItems()) {
        const PropertyNode& layer = *PropertyNode::AsNode(item.Get());
        const std::string imagePath = layer.HasChild("image") ? inFolder(layer.GetString("image")) : std::string();
        const std::string maskPath = layer.HasChild("mask") ? inFolder(layer.GetString("mask")) : std::string();
        std::int32_t error = kErrorNone;
        SmartPtr<Image> imageSet(loader(imagePath, maskPath, GetLoadFlags(), error));
        if (error != kErrorNone) {
            SetError(error);
            continue;
        }
        float padding = 0.0f;
        if (std::sscanf(layer.GetString("padding").c_str(), "%f", &padding) != 1) {
            padding = 0.0f;
        }
        const Color color(layer.HasChild("color") ? static_cast<std::uint32_t>(layer.GetValue("color")->GetInt())
                                                  : 0u);
        m_Font->AddLayer(new FontLayer(padding, color, imageSet.Get()));
    }
    SetLoaded();
}

void ResourceFont::Unload()
{
    m_Font.Reset();
    ResourceObject::Unload();
}

bool ResourceFont::HasSameFile(const ResourceObject& other) const
{
    return other.IsOfType(&ResourceFont::s_Type) && !GetFileName().empty() && GetFileName() == other.GetFileName();
}

std::string ResourceFont::ToString() const
{
    return ResourceObject::ToString() + "Object: " + (m_Font ? "not 0" : "NULL") + "; ";
}

}  // namespace Qmv2
