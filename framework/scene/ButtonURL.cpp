#include "framework/scene/ButtonURL.h"

#include "framework/core/properties/PropertyNode.h"
#include "framework/core/util/Platform.h"
#include "framework/graphics/image/Image.h"
#include "framework/graphics/image/ResourceImage.h"

namespace Qmv2 {

ButtonURL::ButtonURL(PropertyNode* description) : Button(description)
{
    PropertyNode* node = description != nullptr ? PropertyNode::AsNode(description) : nullptr;
    if (node == nullptr) {
        return;
    }
    if (node->HasChild("url")) {
        m_Link = node->GetString("url");
    }
    if (node->HasChild("file")) {
        SmartPtr<ResourceImage> loader(new ResourceImage(node->GetString("file"), std::string(), 1));
        loader->Load();
        BaseObject* content = loader->GetContent();
        if (content != nullptr && content->IsOfType(&Image::s_Type)) {
            SetImage(static_cast<Image*>(content));
        }
    }
}

void ButtonURL::Invoke(void* argument)
{
    // The platform's opener refuses anything but http and https addresses.
    OpenURL(m_Link);
    Button::Invoke(argument);
}

}  // namespace Qmv2
