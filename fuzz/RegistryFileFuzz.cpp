// The registry file from outside: any bytes stand as the user's registry
// file; the game's settings are read from it into their object, and every
// key and value the file names is listed through the registry calls.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "framework/core/data/GameSettings.h"
#include "framework/core/data/SettingsManager.h"
#include "platform/win32/WinRegistry.h"

namespace {

void ListKey(HKEY key, int depth)
{
    DWORD subKeys = 0;
    DWORD values = 0;
    if (depth > 4 || RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr,
                                      nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        return;
    }
    for (DWORD index = 0; index < values && index < 64; ++index) {
        char name[300];
        BYTE bytes[300];
        DWORD nameLength = sizeof name;
        DWORD size = sizeof bytes;
        DWORD type = 0;
        RegEnumValueA(key, index, name, &nameLength, nullptr, &type, bytes, &size);
    }
    for (const char* child : {"Software", "Orvendale", "Quorvel"}) {
        HKEY opened = nullptr;
        if (RegOpenKeyExA(key, child, 0, KEY_QUERY_VALUE, &opened) == ERROR_SUCCESS) {
            ListKey(opened, depth + 1);
            RegCloseKey(opened);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string file = [] {
        const std::string home = "/dev/shm/qmv-fuzz-registry-" + std::to_string(getpid());
        setenv("XDG_CONFIG_HOME", home.c_str(), 1);
        setenv("XDG_CONFIG_DIRS", (home + "/none").c_str(), 1);
        std::filesystem::create_directories(home + "/Orvendale/registry");
        return platform::RegistryFileOf(HKEY_CURRENT_USER);
    }();
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    Qmv2::SmartPtr<Qmv2::PropertyNode> node(new Qmv2::PropertyNode("settings"));
    Qmv2::ReadRegistryKey(HKEY_CURRENT_USER, "Software\\Orvendale\\Quorvel", node.Get());
    Qmv2::SmartPtr<Qmv2::GameSettings> settings(new Qmv2::GameSettings);
    settings->Load(node.Get());
    ListKey(HKEY_CURRENT_USER, 0);
    platform::TakeRegistryProblems();
    return 0;
}
