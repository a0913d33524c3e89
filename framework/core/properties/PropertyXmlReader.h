// Turns XML text into properties: the tag is the type word, the attribute
// "id" the name; the five value tags ("Integer", "Double", "Float",
// "Boolean", "String") make values, "Vector" makes vectors and every other
// tag a node whose attributes become untyped child values.
#pragma once

#include <cstddef>

class TiXmlElement;

namespace Qmv2 {

class AbstractProperty;
class PropertyNode;

class PropertyXmlReader {
public:
    // Deeper nesting is refused before parsing, so that neither the parser
    // nor the tree walks can exhaust the stack.
    static constexpr int kMaxDepth = 256;

    // Parses the zero-terminated `text` and adds the properties below every
    // top-level element to `target` in document order. Nothing is added and
    // the answer is false when the text does not parse. `condenseWhiteSpace`
    // applies to this parse only, even while other threads parse.
    static bool ReadInto(PropertyNode& target, const char* text, bool condenseWhiteSpace);

    // Whether the zero-terminated `text` parses.
    static bool Parses(const char* text, bool condenseWhiteSpace);

    // The property one element describes (never null).
    static AbstractProperty* ReadElement(const TiXmlElement& element);

    // The deepest element nesting of `text`, counted up to `limit` + 1.
    static int NestingDepth(const char* text, int limit);
};

}  // namespace Qmv2
