#include "framework/core/properties/PropertyXmlWriter.h"

#include <cstdint>
#include <cstdio>
#include <unordered_set>

#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/core/properties/PropertyVector.h"
#include "framework/core/properties/XmlText.h"

namespace Qmv2 {

namespace {

bool IsNameStart(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool IsNameChar(char c)
{
    return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

void Indent(int depth, std::string& out)
{
    out.append(static_cast<std::size_t>(depth), '\t');
}

void AppendAttribute(const std::string& name, const std::string& text, std::string& out)
{
    out += ' ';
    out += name;
    out += "=\"";
    out += PropertyXmlWriter::EscapeText(text);
    out += '"';
}

std::string TagOf(const AbstractProperty& property)
{
    if (property.IsVector()) {
        return "Vector";
    }
    const std::string& typeWord = property.GetTypeWord();
    if (PropertyXmlWriter::IsPlainName(typeWord)) {
        return typeWord;
    }
    return property.IsValue() ? "String" : "Node";
}

// An untyped value becomes an attribute when its name can be one and is not
// taken yet in the element; "id" and names beginning with "xml" are reserved.
bool CanBeAttribute(const AbstractProperty& child, const std::unordered_set<std::string>& taken)
{
    const std::string& name = child.GetName();
    if (!child.IsValue() || !child.GetTypeWord().empty() || !PropertyXmlWriter::IsPlainName(name)) {
        return false;
    }
    if (name.size() >= 3 && (name[0] | 0x20) == 'x' && (name[1] | 0x20) == 'm' && (name[2] | 0x20) == 'l') {
        return false;
    }
    return taken.find(name) == taken.end();
}

}  // namespace

bool PropertyXmlWriter::IsPlainName(const std::string& name)
{
    if (name.empty() || !IsNameStart(name[0])) {
        return false;
    }
    for (char c : name) {
        if (!IsNameChar(c)) {
            return false;
        }
    }
    return true;
}

std::string PropertyXmlWriter::EscapeText(const std::string& text)
{
    return XmlText::EscapeText(text);
}

void PropertyXmlWriter::WriteElement(const AbstractProperty& property, int depth, std::string& out)
{
    const std::string tag = TagOf(property);
    Indent(depth, out);
    out += '<';
    out += tag;
    std::unordered_set<std::string> taken;
    if (!property.GetName().empty()) {
        AppendAttribute("id", property.GetName(), out);
    }
    taken.insert("id");

    if (property.IsValue()) {
        const std::string& text = static_cast<const PropertyValue&>(property).GetText();
        if (text.empty()) {
            out += " />\n";
        } else {
            out += '>';
            out += EscapeText(text);
            out += "</" + tag + ">\n";
        }
        return;
    }

    // Vector items are always elements; a node's untyped values are attributes.
    const GFVector<SmartPtr<AbstractProperty>>& children =
        property.IsVector() ? static_cast<const PropertyVector&>(property).GetItems()
                            : static_cast<const PropertyNode&>(property).GetChildren();
    std::vector<const AbstractProperty*> elements;
    for (const SmartPtr<AbstractProperty>& child : children) {
        if (property.IsNode() && CanBeAttribute(*child, taken)) {
            taken.insert(child->GetName());
            AppendAttribute(child->GetName(), child->GetString(), out);
        } else {
            elements.push_back(child.Get());
        }
    }
    if (elements.empty()) {
        out += " />\n";
        return;
    }
    out += ">\n";
    for (const AbstractProperty* child : elements) {
        WriteElement(*child, depth + 1, out);
    }
    Indent(depth, out);
    out += "</" + tag + ">\n";
}

std::string PropertyXmlWriter::WriteDocument(const AbstractProperty& root)
{
    std::string out = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n";
    WriteElement(root, 0, out);
    return out;
}

}  // namespace Qmv2
