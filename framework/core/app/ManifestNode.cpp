#include "framework/core/app/ManifestNode.h"

#include <cstdlib>
#include <tinyxml.h>

namespace Qmv2 {

class ManifestParser {
public:
    static std::unique_ptr<ManifestNode> Read(const TiXmlElement& element)
    {
        auto node = std::make_unique<ManifestNode>();
        node->m_TypeWord = element.Value();
        for (const TiXmlAttribute* a = element.FirstAttribute(); a != nullptr; a = a->Next()) {
            if (std::string(a->Name()) == "id") {
                node->m_Name = a->Value();
                continue;
            }
            auto value = std::make_unique<ManifestNode>();
            value->m_Name = a->Name();
            value->m_Text = a->Value();
            node->m_Children.push_back(std::move(value));
        }
        if (const char* text = element.GetText()) {
            node->m_Text = text;
        }
        for (const TiXmlElement* child = element.FirstChildElement(); child != nullptr;
             child = child->NextSiblingElement()) {
            node->m_Children.push_back(Read(*child));
        }
        return node;
    }
};

std::unique_ptr<ManifestNode> ManifestNode::Load(const std::string& path)
{
    TiXmlDocument document;
    if (!document.LoadFile(path.c_str()) || document.RootElement() == nullptr) {
        return nullptr;
    }
    return ManifestParser::Read(*document.RootElement());
}

const ManifestNode* ManifestNode::GetChild(const std::string& name) const
{
    for (const auto& child : m_Children) {
        if (child->m_Name == name) {
            return child.get();
        }
    }
    return nullptr;
}

std::string ManifestNode::GetString(const std::string& name) const
{
    const ManifestNode* child = GetChild(name);
    return child != nullptr ? child->m_Text : std::string();
}

std::int32_t ManifestNode::GetInt(const std::string& name, std::int32_t missing) const
{
    const ManifestNode* child = GetChild(name);
    if (child == nullptr) {
        return missing;
    }
    const std::string& text = child->m_Text;
    if (!text.empty() && text[0] == '#') {
        return static_cast<std::int32_t>(std::strtoul(text.c_str() + 1, nullptr, 16));
    }
    if (text.size() > 1 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        return static_cast<std::int32_t>(std::strtoul(text.c_str() + 2, nullptr, 16));
    }
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    return value > INT32_MAX ? INT32_MAX : value < INT32_MIN ? INT32_MIN : static_cast<std::int32_t>(value);
}

bool ManifestNode::GetBool(const std::string& name) const
{
    const ManifestNode* child = GetChild(name);
    return child != nullptr && !child->m_Text.empty() && child->m_Text != "false";
}

const ManifestNode* ManifestNode::FindString(const std::string& name) const
{
    for (const auto& child : m_Children) {
        if (child->m_Name == name && child->m_TypeWord == "String") {
            return child.get();
        }
        if (const ManifestNode* found = child->FindString(name)) {
            return found;
        }
    }
    return nullptr;
}

}  // namespace Qmv2
