#include "framework/core/properties/AbstractProperty.h"

#include <cstdio>

#include "framework/core/util/StringFunctions.h"

namespace Qmv2 {

void AbstractProperty::CopyFrom(const AbstractProperty& other)
{
    if (m_SharedEmpty || &other == this) {
        return;
    }
    m_TypeWord = other.m_TypeWord;
    m_Name = other.m_Name;
}

void AbstractProperty::ApplySetup()
{
    std::unordered_set<const AbstractProperty*> visited;
    ResolveSetups(visited);
}

void AbstractProperty::SetTypeWord(const std::string& typeWord)
{
    if (!m_SharedEmpty) {
        m_TypeWord = typeWord;
    }
}

void AbstractProperty::SetName(const std::string& name)
{
    if (!m_SharedEmpty) {
        m_Name = name;
    }
}

const std::string& AbstractProperty::TextOrEmpty() const
{
    static const std::string empty;
    return empty;
}

std::string AbstractProperty::GetString() const
{
    return TextOrEmpty();
}

std::int32_t AbstractProperty::GetInt() const
{
    return ParseColor(TextOrEmpty());
}

float AbstractProperty::GetFloat() const
{
    float value = 0.0f;
    if (std::sscanf(TextOrEmpty().c_str(), "%f", &value) != 1) {
        return 0.0f;
    }
    return value;
}

bool AbstractProperty::GetBool() const
{
    const std::string& text = TextOrEmpty();
    return !text.empty() && text != "false";
}

void AbstractProperty::AddRef()
{
    if (!m_SharedEmpty) {
        BaseObject::AddRef();
    }
}

void AbstractProperty::Release()
{
    if (!m_SharedEmpty) {
        BaseObject::Release();
    }
}

void AbstractProperty::DeleteThis()
{
    if (!m_SharedEmpty) {
        BaseObject::DeleteThis();
    }
}

}  // namespace Qmv2
