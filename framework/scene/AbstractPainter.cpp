#include "framework/scene/AbstractPainter.h"

#include "framework/core/files/ResourceManager.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyVector.h"
#include "framework/graphics/image/Image.h"

namespace Qmv2 {

AbstractPainter::AbstractPainter(PropertyNode* description)
{
    const PropertyNode& node = *PropertyNode::AsNode(description);
    if (node.HasChild("section")) {
        m_Section = node.GetString("section");
        m_Dirty = true;
    }
    if (node.HasChild("images")) {
        m_ImageNames.Clear();
        for (const SmartPtr<AbstractProperty>& item : node.GetVector("images")->GetItems()) {
            m_ImageNames.PushBack(item->GetString());
        }
    }
}

void AbstractPainter::Paint(Graphics&, const RectF&) {}

ImageFrame* AbstractPainter::GetImage(std::int32_t index)
{
    FetchImages();
    if (index < 0 || index >= m_Images.GetCount()) {
        return nullptr;
    }
    return m_Images[index].Get();
}

void AbstractPainter::FetchImages()
{
    if (m_Loaded) {
        return;
    }
    m_Loaded = true;
    m_Images.Clear();
    ResourceManager* resources = ResourceManager::GetInstance();
    for (const std::string& name : m_ImageNames) {
        Image* image = nullptr;
        if (!name.empty() && resources != nullptr) {
            image = resources->GetImage(name, m_Section);
        }
        m_Images.PushBack(SmartPtr<ImageFrame>(image != nullptr ? image->GetFirstFrame() : nullptr));
    }
}

}  // namespace Qmv2
