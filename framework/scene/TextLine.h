// One line of a styled text: its word labels, left to right.
#pragma once

#include "framework/core/object/BaseObject.h"
#include "framework/core/object/GFVector.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/scene/Label.h"

namespace Qmv2 {

class TextLine : public BaseObject {
public:
    QMV_CLASS_TYPE(TextLine, BaseObject)

    GFVector<SmartPtr<Label>>& GetWords() { return m_Words; }
    const GFVector<SmartPtr<Label>>& GetWords() const { return m_Words; }

private:
    GFVector<SmartPtr<Label>> m_Words;
};

}  // namespace Qmv2
