#include "TextTestFont.h"

#include "framework/core/properties/PropertyVector.h"

using namespace Qmv2;

namespace texttest {

PropertyNode* MakeNode(std::initializer_list<std::pair<const char*, std::string>> values)
{
    auto* node = new PropertyNode();
    for (const auto& [key, text] : values) {
        node->AddChild(new PropertyValue(key, text, true));
    }
    return node;
}

PropertyNode* MakeGlyph(const std::string& c, float sw, float sh, float width, float bx, float by)
{
    return MakeNode({{"c", c},
                     {"sw", std::to_string(sw)},
                     {"sh", std::to_string(sh)},
                     {"width", std::to_string(width)},
                     {"bx", std::to_string(bx)},
                     {"by", std::to_string(by)}});
}

SmartPtr<FontBitmap> MakeFixedFont(float padding)
{
    SmartPtr<PropertyNode> description(MakeNode({{"spacewidth", "5"}, {"lineheight", "12"}, {"baseline", "8"}}));
    auto* chars = new PropertyVector("chars");
    const std::string letters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ.-[";
    for (char c : letters) {
        chars->AddItem(MakeGlyph(std::string(1, c), 8, 10, 10));
    }
    description->AddChild(chars);
    SmartPtr<FontBitmap> font(new FontBitmap(description.Get()));
    if (padding > 0.0f) {
        font->AddLayer(new FontLayer(padding, Color(), nullptr));
    }
    return font;
}

}  // namespace texttest
