// A read-only tree of the property XML format (the tag is the type word, "id"
// the name, other attributes untyped values, typed values elements with text),
// enough for the start-up commands and their data files.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Qmv2 {

class ManifestNode {
public:
    // Null when the file is missing or does not parse.
    static std::unique_ptr<ManifestNode> Load(const std::string& path);

    const std::string& GetName() const { return m_Name; }
    const std::string& GetTypeWord() const { return m_TypeWord; }
    const std::string& GetText() const { return m_Text; }
    const std::vector<std::unique_ptr<ManifestNode>>& GetChildren() const { return m_Children; }

    // The first child of that name, or null.
    const ManifestNode* GetChild(const std::string& name) const;
    bool HasChild(const std::string& name) const { return GetChild(name) != nullptr; }
    std::string GetString(const std::string& name) const;
    // Decimal, or hexadecimal after "#", "0x" or "0X"; 0 when missing.
    std::int32_t GetInt(const std::string& name, std::int32_t missing = 0) const;
    // False for a missing child, an empty text and exactly "false".
    bool GetBool(const std::string& name) const;
    // The first typed String entry of that name anywhere below this node.
    const ManifestNode* FindString(const std::string& name) const;

private:
    std::string m_Name;
    std::string m_TypeWord;
    std::string m_Text;
    std::vector<std::unique_ptr<ManifestNode>> m_Children;

    friend class ManifestParser;
};

}  // namespace Qmv2
