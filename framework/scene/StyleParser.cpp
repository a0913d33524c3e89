#include "framework/scene/StyleParser.h"

namespace Qmv2 {

StyleParser::StyleParser()
{
    RegisterFormats();
}

void StyleParser::RegisterFormats()
{
    m_Formats.PushBack(SmartPtr<StyleFormat>(new FormatNewLine));
    m_Formats.PushBack(SmartPtr<StyleFormat>(new FormatColor));
    m_Formats.PushBack(SmartPtr<StyleFormat>(new FormatFont));
    m_Formats.PushBack(SmartPtr<StyleFormat>(new FormatImage));
    m_Formats.PushBack(SmartPtr<StyleFormat>(new FormatWrapStyle));
    m_Formats.PushBack(SmartPtr<StyleFormat>(new FormatAlignV));
    m_Formats.PushBack(SmartPtr<StyleFormat>(new FormatAlignH));
    m_Formats.PushBack(SmartPtr<StyleFormat>(new FormatTab));
    m_Formats.PushBack(SmartPtr<StyleFormat>(new FormatWidth));
}

std::int32_t StyleParser::Apply(const std::string& name, const std::string& argument, LabelStyle& style)
{
    for (const SmartPtr<StyleFormat>& format : m_Formats) {
        const GFVector<std::string>& names = format->GetTagNames();
        for (std::int32_t i = 0; i < names.GetCount(); ++i) {
            if (names[i] == name) {
                format->Apply(i, argument, style);
                return 1;
            }
        }
    }
    return 0;
}

}  // namespace Qmv2
