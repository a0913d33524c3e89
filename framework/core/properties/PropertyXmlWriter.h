// Writes properties as XML text that any XML parser accepts: the declaration,
// then one element per line indented by tabs. A value without a type word is
// an attribute of its node where that is allowed, a typed value an element
// holding its text; "id" carries the name and comes first.
#pragma once

#include <string>

namespace Qmv2 {

class AbstractProperty;

class PropertyXmlWriter {
public:
    // The whole document for `root` (the store itself).
    static std::string WriteDocument(const AbstractProperty& root);

    // Appends `property` as an element at `depth`. Untyped values are never
    // written here: a caller that allows attributes writes them itself.
    static void WriteElement(const AbstractProperty& property, int depth, std::string& out);

    // Text made safe for XML: invalid UTF-8 becomes U+FFFD, characters that
    // XML cannot carry are dropped, markup characters and control characters
    // are escaped.
    static std::string EscapeText(const std::string& text);

    // Whether `name` can stand as a tag or attribute name as it is (plain
    // ASCII letters, digits, '_', '-', '.', not starting with a digit, '-' or '.').
    static bool IsPlainName(const std::string& name);
};

}  // namespace Qmv2
