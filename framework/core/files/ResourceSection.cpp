#include "framework/core/files/ResourceSection.h"

#include "framework/core/object/ObjectFactory.h"
#include "framework/core/properties/PropertyNode.h"

namespace Qmv2 {

ResourceSection::ResourceSection(AbstractProperty* description)
{
    const PropertyNode* node = PropertyNode::AsNode(description);
    if (node->HasChild("name")) {
        m_Name = node->GetString("name");
    }
    if (node->HasChild("auto")) {
        m_AutoLoad = node->GetValue("auto")->GetBool();
    }
    ObjectFactory* factory = ObjectFactory::GetInstance();
    for (const SmartPtr<AbstractProperty>& child : node->GetChildren()) {
        if (!child || !child->IsNode()) {
            continue;
        }
        // The factory answers an unowned object: holding it here frees it
        // when it turns out to be no resource.
        SmartPtr<BaseObject> made(factory->Create(child->GetTypeWord(), child.Get()));
        if (made && made->IsOfType(&ResourceObject::s_Type)) {
            AddResource(child->GetName(), static_cast<ResourceObject*>(made.Get()));
        }
    }
}

void ResourceSection::AddResource(const std::string& name, ResourceObject* resource)
{
    if (resource == nullptr) {
        return;
    }
    auto found = m_Index.find(name);
    if (found != m_Index.end()) {
        m_Resources[found->second].second = resource;
        return;
    }
    m_Index.emplace(name, m_Resources.size());
    m_Resources.emplace_back(name, SmartPtr<ResourceObject>(resource));
}

ResourceObject* ResourceSection::FindResource(const std::string& name) const
{
    auto found = m_Index.find(name);
    return found != m_Index.end() ? m_Resources[found->second].second.Get() : nullptr;
}

std::uint32_t ResourceSection::GetWeight() const
{
    std::uint32_t weight = 0;
    for (const Entry& entry : m_Resources) {
        weight += entry.second->GetWeight();
    }
    return weight;
}

std::uint32_t ResourceSection::GetLoadedWeight() const
{
    std::uint32_t weight = 0;
    for (const Entry& entry : m_Resources) {
        if (entry.second->IsLoaded()) {
            weight += entry.second->GetWeight();
        }
    }
    return weight;
}

bool ResourceSection::IsLoaded() const
{
    for (const Entry& entry : m_Resources) {
        if (!entry.second->IsLoaded()) {
            return false;
        }
    }
    return true;
}

bool ResourceSection::IsSettled() const
{
    for (const Entry& entry : m_Resources) {
        if (!entry.second->IsSettled()) {
            return false;
        }
    }
    return true;
}

ResourceObject* ResourceSection::NextToLoad() const
{
    if (!m_HasStarted) {
        return nullptr;
    }
    for (const Entry& entry : m_Resources) {
        if (!entry.second->IsSettled()) {
            return entry.second.Get();
        }
    }
    return nullptr;
}

std::string ResourceSection::ToString() const
{
    std::string text = "Name: " + m_Name + "; Auto Load: " + (m_AutoLoad ? "Y" : "N") +
                       "; Has Started: " + (m_HasStarted ? "Y" : "N") + ";\n  Objects:\n";
    for (const Entry& entry : m_Resources) {
        text += "\t" + entry.second->ToString() + "\n";
    }
    return text;
}

}  // namespace Qmv2
