#include "framework/core/data/SettingsManager.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

#include "framework/core/app/Application.h"
#include "framework/core/app/GameWindow.h"
#include "framework/core/data/RegistryBase.h"
#include "framework/core/files/FileProblems.h"
#include "platform/win32/AtomicFile.h"

namespace Qmv2 {

namespace {

constexpr DWORD kBufferSize = 260;

}  // namespace

std::string SettingsRegistryRoot()
{
    return "Software\\Orvendale\\" + Application::s_GameId;
}

LONG ReadRegistryKey(HKEY hive, const std::string& keyPath, PropertyNode* node)
{
    HKEY key = nullptr;
    const LONG opened = RegOpenKeyExA(hive, keyPath.c_str(), 0, KEY_QUERY_VALUE, &key);
    if (opened != ERROR_SUCCESS) {
        return opened;
    }
    DWORD count = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                         nullptr) == ERROR_SUCCESS) {
        for (DWORD index = 0; index < count; ++index) {
            std::array<char, kBufferSize> name{};
            std::array<BYTE, kBufferSize> data{};
            DWORD nameLength = kBufferSize;
            DWORD dataSize = kBufferSize;
            DWORD type = REG_NONE;
            if (RegEnumValueA(key, index, name.data(), &nameLength, nullptr, &type, data.data(), &dataSize) !=
                ERROR_SUCCESS) {
                continue;
            }
            const std::string valueName(name.data(), std::min<DWORD>(nameLength, kBufferSize));
            if (type == REG_SZ) {
                std::string text(reinterpret_cast<const char*>(data.data()), std::min<DWORD>(dataSize, kBufferSize));
                const std::size_t end = text.find('\0');
                if (end != std::string::npos) {
                    text.resize(end);
                }
                node->AddChild(new PropertyValue(valueName, "String", text));
            } else if (type == REG_DWORD && dataSize >= sizeof(std::int32_t)) {
                std::int32_t number = 0;
                std::memcpy(&number, data.data(), sizeof number);
                node->AddChild(new PropertyValue(valueName, number));
            }
        }
    }
    RegCloseKey(key);
    return ERROR_SUCCESS;
}

SettingsManager::SettingsManager(GameSettings* settings)
    : m_Settings(settings != nullptr ? settings : new GameSettings)
{
    m_KeyPath = SettingsRegistryRoot();
    for (char& c : m_KeyPath) {
        if (c == '/') {
            c = '\\';
        }
    }
    Load();
    if (GameWindow* window = GameWindow::GetInstance()) {
        window->GetMessageHandler().AddListener(this);
    }
}

SettingsManager::~SettingsManager()
{
    m_ShutdownCorrect = true;
    Save();
    m_Settings.Reset();
    if (GameWindow* window = GameWindow::GetInstance()) {
        window->GetMessageHandler().RemoveListener(this);
    }
}

Interface* SettingsManager::GetInterface(const ClassType* type)
{
    if (type == &iMessageListener::s_Type) {
        return static_cast<iMessageListener*>(this);
    }
    return BaseObject::GetInterface(type);
}

void SettingsManager::Load()
{
    SmartPtr<PropertyNode> node(new PropertyNode("GameSettngs"));
    ReadRegistryKey(HKEY_LOCAL_MACHINE, m_KeyPath, node.Get());
    ReadRegistryKey(HKEY_CURRENT_USER, m_KeyPath, node.Get());
    m_Settings->Load(node.Get());
    const std::string problems = platform::TakeRegistryProblems();
    if (!problems.empty()) {
        FileProblems::Report(problems);
    }
    if (node->HasChild("shutdowncorrect")) {
        m_ShutdownCorrect = node->GetValue("shutdowncorrect")->GetBool();
    }
    if (m_ShutdownCorrect) {
        m_ShutdownCorrect = false;
        Save();
    } else {
        m_Settings->SetFullscreen(false);
    }
}

void SettingsManager::Save()
{
    SmartPtr<PropertyNode> node(new PropertyNode("GameSettngs"));
    m_Settings->Save(node.Get());
    node->AddBoolean("shutdowncorrect", m_ShutdownCorrect);
    // All values in one write of the registry file: a crash while saving
    // leaves this save's settings or the last one's, never a mix of both.
    std::vector<platform::RegistryValue> values;
    for (const SmartPtr<AbstractProperty>& child : node->GetChildren()) {
        if (child->GetTypeWord() == "Integer") {
            const std::int32_t number = child->GetInt();
            values.push_back({child->GetName(), REG_DWORD,
                              std::string(reinterpret_cast<const char*>(&number), sizeof number)});
        } else {
            const std::string text = child->GetString();
            values.push_back({child->GetName(), REG_SZ, std::string(text.c_str(), text.size() + 1)});
        }
    }
    HKEY key = nullptr;
    LONG result = RegCreateKeyExA(HKEY_CURRENT_USER, m_KeyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_WRITE, nullptr, &key, nullptr);
    if (result == ERROR_SUCCESS) {
        result = platform::SetRegistryValues(key, values);
    }
    const int error = errno;
    RegCloseKey(key);
    const std::string file = platform::RegistryFileOf(HKEY_CURRENT_USER);
    if (result != ERROR_SUCCESS && !platform::IsProtectedFile(file)) {
        FileProblems::ReportWriteFailure("the settings to " + file, std::strerror(error));
    }
}

void SettingsManager::OnMessage(const Message& message)
{
    if (message.GetId() != Message::kFullscreenChanged) {
        return;
    }
    if (auto* state = MessageDataAs<TemplateMessageData<bool>>(message.GetData())) {
        m_Settings->SetFullscreen(state->m_Value);
        Save();
    }
}

}  // namespace Qmv2
