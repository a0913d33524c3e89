#include "framework/core/properties/PropertyXmlReader.h"

#include <cstring>
#include <mutex>
#include <string>

#include <tinyxml.h>

#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/core/properties/PropertyVector.h"
#include "framework/core/properties/XmlText.h"

namespace Qmv2 {

namespace {

// TinyXML keeps its white-space switch in one global; a parse holds this lock
// from setting the switch until it is done.
std::mutex g_ParseLock;

bool IsValueTag(const std::string& tag)
{
    return tag == "Integer" || tag == "Double" || tag == "Float" || tag == "Boolean" || tag == "String";
}

bool ParseDocument(TiXmlDocument& document, const char* text, bool condenseWhiteSpace)
{
    if (text == nullptr || PropertyXmlReader::NestingDepth(text, PropertyXmlReader::kMaxDepth) >
                               PropertyXmlReader::kMaxDepth) {
        return false;
    }
    // TinyXML steps over multi-byte characters by their lead byte; on broken
    // UTF-8 that can step past the terminating zero, so it only sees valid
    // UTF-8, followed by spare zeros.
    std::string valid = XmlText::RepairUtf8(text);
    valid.append(8, '\0');
    std::lock_guard<std::mutex> lock(g_ParseLock);
    TiXmlBase::SetCondenseWhiteSpace(condenseWhiteSpace);
    document.Parse(valid.c_str(), nullptr, TIXML_ENCODING_UTF8);
    return !document.Error();
}

// Skips to just past `end` (or to the terminating zero).
const char* SkipPast(const char* p, const char* end)
{
    const char* found = std::strstr(p, end);
    return found != nullptr ? found + std::strlen(end) : p + std::strlen(p);
}

}  // namespace

int PropertyXmlReader::NestingDepth(const char* text, int limit)
{
    int depth = 0;
    int deepest = 0;
    const char* p = text;
    while (*p != '\0') {
        if (*p != '<') {
            ++p;
            continue;
        }
        if (std::strncmp(p, "<!--", 4) == 0) {
            p = SkipPast(p + 4, "-->");
        } else if (std::strncmp(p, "<![CDATA[", 9) == 0) {
            p = SkipPast(p + 9, "]]>");
        } else if (p[1] == '!' || p[1] == '?') {
            p = SkipPast(p + 2, ">");
        } else if (p[1] == '/') {
            depth = depth > 0 ? depth - 1 : 0;
            p = SkipPast(p + 2, ">");
        } else {
            // An opening tag: quoted attribute values may hold '>' and "/>".
            ++p;
            char quote = '\0';
            bool afterEquals = false;
            bool selfClosing = false;
            while (*p != '\0') {
                if (quote != '\0') {
                    if (*p == quote) {
                        quote = '\0';
                    }
                } else if (afterEquals && (*p == '"' || *p == '\'')) {
                    quote = *p;
                } else if (*p == '>') {
                    selfClosing = p[-1] == '/';
                    ++p;
                    break;
                }
                if (*p == '=') {
                    afterEquals = true;
                } else if (*p != ' ' && *p != '\t' && *p != '\n' && *p != '\r') {
                    afterEquals = false;
                }
                ++p;
            }
            if (!selfClosing) {
                ++depth;
                if (depth > deepest) {
                    deepest = depth;
                    if (deepest > limit) {
                        return deepest;
                    }
                }
            }
        }
    }
    return deepest;
}

bool PropertyXmlReader::Parses(const char* text, bool condenseWhiteSpace)
{
    TiXmlDocument document;
    return ParseDocument(document, text, condenseWhiteSpace);
}

bool PropertyXmlReader::ReadInto(PropertyNode& target, const char* text, bool condenseWhiteSpace)
{
    TiXmlDocument document;
    if (!ParseDocument(document, text, condenseWhiteSpace)) {
        return false;
    }
    for (const TiXmlElement* top = document.FirstChildElement(); top != nullptr; top = top->NextSiblingElement()) {
        for (const TiXmlElement* element = top->FirstChildElement(); element != nullptr;
             element = element->NextSiblingElement()) {
            target.AddChild(ReadElement(*element));
        }
    }
    return true;
}

AbstractProperty* PropertyXmlReader::ReadElement(const TiXmlElement& element)
{
    const char* id = element.Attribute("id");
    const std::string name = id != nullptr ? id : "";
    const std::string tag = element.ValueStr();

    if (tag == "Vector") {
        auto* vector = new PropertyVector(name);
        for (const TiXmlElement* child = element.FirstChildElement(); child != nullptr;
             child = child->NextSiblingElement()) {
            vector->AddItem(ReadElement(*child));
        }
        return vector;
    }

    const TiXmlText* text = nullptr;
    for (const TiXmlNode* child = element.FirstChild(); child != nullptr; child = child->NextSibling()) {
        if ((text = child->ToText()) != nullptr) {
            break;
        }
    }

    if (IsValueTag(tag)) {
        auto* value = new PropertyValue(name, tag, std::string());
        if (const char* attribute = element.Attribute("value")) {
            value->SetText(attribute);
        }
        if (text != nullptr) {
            value->SetText(text->ValueStr());
        }
        return value;
    }

    auto* node = new PropertyNode(name, tag);
    for (const TiXmlAttribute* attribute = element.FirstAttribute(); attribute != nullptr;
         attribute = attribute->Next()) {
        if (attribute->NameTStr() != "id") {
            node->AddChild(new PropertyValue(attribute->NameTStr(), std::string(), attribute->ValueStr()));
        }
    }
    if (text != nullptr) {
        node->AddChild(new PropertyValue("value", "String", text->ValueStr()));
    }
    for (const TiXmlElement* child = element.FirstChildElement(); child != nullptr;
         child = child->NextSiblingElement()) {
        node->AddChild(ReadElement(*child));
    }
    return node;
}

}  // namespace Qmv2
