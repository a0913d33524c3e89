// Payloads of framework messages. Receivers test the kind through the type
// records, so every kind carries a record of its own.
#pragma once

#include <cstdint>
#include <string>

#include "framework/core/object/BaseObject.h"
#include "framework/core/object/GFVector.h"
#include "framework/core/util/Point.h"

namespace Qmv2 {

class MessageData : public BaseObject {
public:
    QMV_CLASS_TYPE(MessageData, BaseObject)
};

// Mouse position in game coordinates, buttons and modifiers held, double click.
class MouseMessageData : public MessageData, public Point_t<float> {
public:
    QMV_CLASS_TYPE(MouseMessageData, MessageData)

    static constexpr std::uint32_t kLeftButton = 1;
    static constexpr std::uint32_t kRightButton = 2;
    static constexpr std::uint32_t kMiddleButton = 4;
    static constexpr std::uint32_t kShift = 8;
    static constexpr std::uint32_t kControl = 16;

    MouseMessageData(float px, float py, std::uint32_t buttons, bool doubleClick = false)
        : Point_t<float>(px, py), m_Buttons(buttons), m_DoubleClick(doubleClick)
    {
    }

    std::uint32_t m_Buttons;
    bool m_DoubleClick;
};

// One key or character: the character, its lower-case text and the framework key code.
class KeyStroke {
public:
    KeyStroke(std::uint32_t character, std::int32_t keyCode);
    virtual ~KeyStroke() = default;

    std::uint32_t m_Character;
    std::string m_Text;
    bool m_HasText;
    std::int32_t m_KeyCode;
};

class KeyboardMessageData : public MessageData, public KeyStroke {
public:
    QMV_CLASS_TYPE(KeyboardMessageData, MessageData)

    KeyboardMessageData(std::uint32_t character, std::int32_t keyCode, bool repeat = false,
                        std::int32_t location = 0, std::int32_t variant = -1)
        : KeyStroke(character, keyCode),
          m_Repeat(repeat),
          m_Location(location),
          m_VariantKeyCode(variant < 0 ? keyCode : variant)
    {
    }

    bool m_Repeat;
    std::int32_t m_Location;
    std::int32_t m_VariantKeyCode;
};

// Wheel notches, positive away from the user.
class ScrollMessageData : public MessageData {
public:
    QMV_CLASS_TYPE(ScrollMessageData, MessageData)

    explicit ScrollMessageData(float delta) : m_Delta(delta), m_Magnitude(delta < 0 ? -delta : delta), m_Upward(delta >= 0) {}

    float m_Delta;
    float m_Magnitude;
    bool m_Upward;
};

template <typename T>
class TemplateMessageData : public MessageData {
public:
    QMV_CLASS_TYPE(TemplateMessageData, MessageData)

    explicit TemplateMessageData(const T& value) : m_Value(value) {}

    T m_Value;
};

// The dropped files, full paths in the order the system lists them, and the drop point.
// It answers the record of the list-of-texts data it extends, so listeners that
// test for that kind receive drops too.
class DragDropMessageData : public TemplateMessageData<GFVector<std::string>> {
public:
    DragDropMessageData(const GFVector<std::string>& files, const Point_t<float>& point)
        : TemplateMessageData<GFVector<std::string>>(files), m_Point(point)
    {
    }

    Point_t<float> m_Point;
};

// The data of `message` as kind T, or null when it is of another kind.
template <typename T>
T* MessageDataAs(MessageData* data)
{
    return data != nullptr && data->IsOfType(&T::s_Type) ? static_cast<T*>(data) : nullptr;
}

}  // namespace Qmv2
