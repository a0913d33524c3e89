// Single registry values of the current user, written one at a time. The
// full name "key\path\value" (or with "/") is split at its last separator
// into the key path and the value name.
#pragma once

#include <cstdint>
#include <string>

#include "platform/win32/WinLastError.h"
#include "platform/win32/WinRegistry.h"

namespace Qmv2 {

class RegistryBase {
public:
    explicit RegistryBase(const std::string& fullName);
    virtual ~RegistryBase() = default;

    const std::string& GetKeyPath() const { return m_KeyPath; }
    const std::string& GetValueName() const { return m_ValueName; }
    bool IsWritten() const { return m_Written; }

protected:
    // Opens (creating when missing) the key for writing, sets the value and
    // closes the key; a success sets the written flag. Failures are silent.
    void WriteValue(DWORD type, const BYTE* data, DWORD size);

    HKEY m_Hive = HKEY_CURRENT_USER;
    HKEY m_Key = nullptr;
    std::string m_ValueName;
    std::string m_KeyPath;
    bool m_Written = false;
    bool m_ForceWrite = false;
};

// A REG_DWORD value.
class RegistryInt : public RegistryBase {
public:
    explicit RegistryInt(const std::string& fullName, std::int32_t value = 0) : RegistryBase(fullName), m_Value(value) {}

    void Write(std::int32_t value);
    std::int32_t GetValue() const { return m_Value; }

private:
    std::int32_t m_Value;
};

// A REG_SZ value; its terminating zero is counted in the stored size.
class RegistryString : public RegistryBase {
public:
    explicit RegistryString(const std::string& fullName, const std::string& text = std::string())
        : RegistryBase(fullName), m_Text(text) {}

    void Write(const std::string& text);
    const std::string& GetText() const { return m_Text; }

private:
    std::string m_Text;
};

}  // namespace Qmv2
