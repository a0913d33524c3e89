#include "framework/core/data/RegistryBase.h"

namespace Qmv2 {

RegistryBase::RegistryBase(const std::string& fullName)
{
    if (fullName.empty()) {
        return;
    }
    std::string name = fullName;
    for (char& c : name) {
        if (c == '/') {
            c = '\\';
        }
    }
    if (name.back() == '\\') {
        name.pop_back();
    }
    const std::size_t split = name.rfind('\\');
    if (split == std::string::npos) {
        m_ValueName = name;
    } else {
        m_KeyPath = name.substr(0, split);
        m_ValueName = name.substr(split + 1);
    }
}

void RegistryBase::WriteValue(DWORD type, const BYTE* data, DWORD size)
{
    if (RegCreateKeyExA(m_Hive, m_KeyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &m_Key,
                        nullptr) != ERROR_SUCCESS) {
        m_Key = nullptr;
        return;
    }
    if (RegSetValueExA(m_Key, m_ValueName.c_str(), 0, type, data, size) == ERROR_SUCCESS) {
        m_Written = true;
    }
    RegCloseKey(m_Key);
    m_Key = nullptr;
}

void RegistryInt::Write(std::int32_t value)
{
    m_Value = value;
    WriteValue(REG_DWORD, reinterpret_cast<const BYTE*>(&m_Value), sizeof m_Value);
}

void RegistryString::Write(const std::string& text)
{
    m_Text = text;
    WriteValue(REG_SZ, reinterpret_cast<const BYTE*>(m_Text.c_str()), static_cast<DWORD>(m_Text.size() + 1));
}

}  // namespace Qmv2
