// Hands each mark-up tag met by the styled-text layout to the handler that
// knows its name. Made anew for every layout.
#pragma once

#include <cstdint>
#include <string>

#include "framework/core/object/BaseObject.h"
#include "framework/core/object/GFVector.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/scene/StyleFormat.h"

namespace Qmv2 {

class StyleParser : public BaseObject {
public:
    QMV_CLASS_TYPE(StyleParser, BaseObject)

    StyleParser();

    // The first handler name equal to `name` (case-sensitive) wins; answers
    // 1 when a handler took the tag, else 0.
    std::int32_t Apply(const std::string& name, const std::string& argument, LabelStyle& style);

private:
    void RegisterFormats();

    GFVector<SmartPtr<StyleFormat>> m_Formats;
};

}  // namespace Qmv2
