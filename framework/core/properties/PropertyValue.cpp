#include "framework/core/properties/PropertyValue.h"

#include <cstdio>

namespace Qmv2 {

std::string FloatPropertyText(float value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%f", static_cast<double>(value));
    std::string text = buffer;
    // Trailing zeros go, and the point with them, but never the first character.
    while (text.size() > 1) {
        const char last = text.back();
        if (last != '0' && last != '.') {
            break;
        }
        text.pop_back();
        if (last == '.') {
            break;
        }
    }
    return text;
}

PropertyValue::PropertyValue(const std::string& name, const std::string& typeWord, const std::string& text)
    : AbstractProperty(kValue, typeWord, name), m_Text(text)
{
}

PropertyValue::PropertyValue(const std::string& name, const std::string& text, bool noType)
    : AbstractProperty(kValue, noType ? std::string() : std::string("String"), name), m_Text(text)
{
}

PropertyValue::PropertyValue(const std::string& name, const std::string& typeWord, std::int32_t value)
    : AbstractProperty(kValue, typeWord, name)
{
    SetInt(value);
}

PropertyValue::PropertyValue(const std::string& name, std::int32_t value)
    : AbstractProperty(kValue, std::string(), name)
{
    SetInt(value);
}

PropertyValue::PropertyValue(const std::string& name, float value)
    : AbstractProperty(kValue, "Float", name)
{
    SetFloat(value);
}

AbstractProperty* PropertyValue::Clone() const
{
    return new PropertyValue(GetName(), GetTypeWord(), m_Text);
}

void PropertyValue::CopyFrom(const AbstractProperty& other)
{
    if (IsSharedEmpty()) {
        return;
    }
    AbstractProperty::CopyFrom(other);
    if (other.IsValue()) {
        m_Text = static_cast<const PropertyValue&>(other).m_Text;
    }
}

void PropertyValue::SetText(const std::string& text)
{
    if (!IsSharedEmpty()) {
        m_Text = text;
    }
}

void PropertyValue::SetInt(std::int32_t value)
{
    SetText(std::to_string(value));
}

void PropertyValue::SetFloat(float value)
{
    SetText(FloatPropertyText(value));
}

PropertyValue* PropertyValue::GetEmpty()
{
    static PropertyValue* const empty = [] {
        auto* value = new PropertyValue("DUMMY_VALUE", std::string(), std::string());
        value->MarkSharedEmpty();
        return value;
    }();
    return empty;
}

}  // namespace Qmv2
