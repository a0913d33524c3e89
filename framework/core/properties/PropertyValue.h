// A named text, optionally typed by a type word ("Integer", "String", ...).
// Values without a type word are written as attributes of their node.
#pragma once

#include <cstdint>
#include <string>

#include "framework/core/properties/AbstractProperty.h"

namespace Qmv2 {

class PropertyValue : public AbstractProperty {
    QMV_INDEXED_TYPE(PropertyValue)

    PropertyValue(const std::string& name, const std::string& typeWord, const std::string& text);
    // Keeps a literal text from choosing the (name, text, noType) form.
    PropertyValue(const std::string& name, const std::string& typeWord, const char* text)
        : PropertyValue(name, typeWord, std::string(text != nullptr ? text : "")) {}
    // Type word "String", or none when `noType` is true.
    PropertyValue(const std::string& name, const std::string& text, bool noType);
    PropertyValue(const std::string& name, const std::string& typeWord, std::int32_t value);
    // Untyped integer.
    PropertyValue(const std::string& name, std::int32_t value);
    // Type word "Float".
    PropertyValue(const std::string& name, float value);

    AbstractProperty* Clone() const override;
    void CopyFrom(const AbstractProperty& other) override;
    std::string ToString() const override { return m_Text; }

    const std::string& GetText() const noexcept { return m_Text; }
    // The setters are refused on the shared empty value.
    void SetText(const std::string& text);
    void SetInt(std::int32_t value);   // "%d"
    void SetFloat(float value);        // "%f" without trailing zeros: 1.5, 2, 0.25

    // The shared empty value "DUMMY_VALUE".
    static PropertyValue* GetEmpty();

protected:
    void ResolveSetups(std::unordered_set<const AbstractProperty*>&) override {}
    const std::string& TextOrEmpty() const override { return m_Text; }

private:
    std::string m_Text;
};

// The text that SetFloat stores for `value`.
std::string FloatPropertyText(float value);

}  // namespace Qmv2
