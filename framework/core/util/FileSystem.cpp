#include "framework/core/util/FileSystem.h"

#include "framework/core/files/FilePath.h"
#include "framework/core/util/Platform.h"
#include "platform/win32/AtomicFile.h"
#include "platform/win32/WinFiles.h"
#include "platform/win32/WinLibrary.h"
#include "platform/win32/WinShell.h"

#include <algorithm>
#include <vector>

namespace Qmv2 {
namespace {

std::string g_sharedDataFolder;
std::string g_gameDataFolder;
std::string g_gameId = "<untitled>";

std::string FromWide(const WCHAR* wide, std::size_t length)
{
    return Platform::ToNarrow(std::u16string(wide, length));
}

// Security entry points of the access-control library, by their documented shapes.
struct SidAuthority {
    BYTE value[6];
};
struct Trustee {
    void* multipleTrustee;
    int multipleTrusteeOperation;
    int form;
    int type;
    char* name;
};
struct ExplicitAccess {
    DWORD permissions;
    int mode;
    DWORD inheritance;
    Trustee trustee;
};
// The structures go to the entry points as untyped pointers: a function found
// by name is called through these types, which must be its own exactly.
using AllocateAndInitializeSidFn = BOOL (*)(void*, BYTE, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD,
                                            void**);
using SetEntriesInAclFn = DWORD (*)(ULONG, void*, void*, void**);
using InitializeSecurityDescriptorFn = BOOL (*)(void*, DWORD);
using SetSecurityDescriptorDaclFn = BOOL (*)(void*, BOOL, void*, BOOL);
using SetFileSecurityFn = BOOL (*)(LPCSTR, DWORD, void*);
using FreeSidFn = void* (*)(void*);
using LocalFreeFn = void* (*)(void*);

constexpr int kTrusteeIsSid = 0;
constexpr int kTrusteeIsWellKnownGroup = 5;
constexpr int kSetAccess = 2;
constexpr DWORD kSubContainersAndObjectsInherit = 3;
constexpr DWORD kAllRights = 0x1FFFFF;
constexpr DWORD kDaclSecurityInformation = 4;
constexpr DWORD kSecurityDescriptorRevision = 1;

}  // namespace

bool DeleteFile(const std::string& path)
{
    std::u16string wide = Utf8ToWide(path);
    return DeleteFileW(wide.c_str()) != FALSE;
}

bool FileExists(const std::string& path)
{
    std::u16string wide = Utf8ToWide(path);
    HANDLE file = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(file);
    return true;
}

void CreateDirectoryChain(const std::string& path)
{
    if (path.empty()) {
        return;
    }
    OFSTRUCT info{};
    if (OpenFile(path.c_str(), &info, OF_EXIST) != HFILE_ERROR) {
        return;
    }
    int split = std::max(FindLastChar('\\', path), FindLastChar('/', path));
    if (split >= 1) {
        CreateDirectoryChain(path.substr(0, static_cast<std::size_t>(split)));
    }
    CreateDirectoryA(path.c_str(), nullptr);
}

void DeleteDirectoryTree(const std::string& folder)
{
    if (folder.size() < 2) {
        return;
    }
    std::string base = folder;
    if (base.back() != '\\' && base.back() != '/') {
        base += "\\";
    }
    std::u16string pattern = Utf8ToWide(base + "*.*");
    WIN32_FIND_DATAW data{};
    HANDLE search = FindFirstFileW(pattern.c_str(), &data);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = FromWide(data.cFileName, std::char_traits<char16_t>::length(data.cFileName));
            if (name == "." || name == "..") {
                continue;
            }
            std::string entry = base + name;
            bool folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0
                          && (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
            if (folder) {
                DeleteDirectoryTree(entry);
            } else {
                DeleteFile(entry);
            }
        } while (FindNextFileW(search, &data) != FALSE);
        FindClose(search);
    }
    RemoveDirectoryA(base.c_str());
}

std::string GetCurrentDirectory()
{
    // Asked again with the size the folder needs, so no depth cuts it short.
    std::vector<WCHAR> buffer(261);
    for (;;) {
        const DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            return FromWide(buffer.data(), length);
        }
        buffer.resize(length + 1);
    }
}

std::string GetModuleFileName()
{
    // A full buffer means the name was cut: a cut path would name another
    // file, so the buffer grows until the whole name fits.
    std::vector<WCHAR> buffer(261);
    for (; buffer.size() <= (1u << 16); buffer.resize(buffer.size() * 2)) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            return FromWide(buffer.data(), length);
        }
    }
    return {};
}

std::string GetModuleDirectory()
{
    std::string file = GetModuleFileName();
    int split = std::max(FindLastChar('\\', file), FindLastChar('/', file));
    return split < 0 ? file : file.substr(0, static_cast<std::size_t>(split));
}

int FindLastChar(char character, const std::string& text)
{
    std::size_t pos = text.rfind(character);
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

void SetDataFolderGameId(const std::string& gameId)
{
    if (gameId != g_gameId) {
        g_gameId = gameId;
        g_gameDataFolder.clear();
    }
}

const std::string& SharedDataFolder()
{
    if (!g_sharedDataFolder.empty()) {
        return g_sharedDataFolder;
    }
    std::string path = platform::SpecialFolderPath(CSIDL_COMMON_APPDATA, false);
    if (path.empty()) {
        path = platform::SpecialFolderPath(CSIDL_APPDATA, false);
    }
    if (path.empty()) {
        return g_sharedDataFolder;  // empty: no place to keep data
    }
    if (path.empty() || path.back() != '\\') {
        path += "/";
    }
    path += "Orvendale/Games";
    CreateDirectoryChain(path);
    g_sharedDataFolder = NormalisePath(path);
    return g_sharedDataFolder;
}

const std::string& GameDataFolder()
{
    if (!g_gameDataFolder.empty()) {
        return g_gameDataFolder;
    }
    const std::string& shared = SharedDataFolder();
    if (shared.empty()) {
        return g_gameDataFolder;
    }
    g_gameDataFolder = shared + "/" + EscapeFileName(g_gameId);
    CreateDirectoryA(g_gameDataFolder.c_str(), nullptr);
    platform::RemoveStaleTemporaries(g_gameDataFolder);
    return g_gameDataFolder;
}

bool GrantEveryoneAccess(const std::string& path)
{
    HMODULE library = LoadLibraryA("advapi32.dll");
    if (library == nullptr) {
        return false;
    }
    auto allocateSid = reinterpret_cast<AllocateAndInitializeSidFn>(GetProcAddress(library, "AllocateAndInitializeSid"));
    auto setEntries = reinterpret_cast<SetEntriesInAclFn>(GetProcAddress(library, "SetEntriesInAclA"));
    auto initDescriptor =
        reinterpret_cast<InitializeSecurityDescriptorFn>(GetProcAddress(library, "InitializeSecurityDescriptor"));
    auto setDacl = reinterpret_cast<SetSecurityDescriptorDaclFn>(GetProcAddress(library, "SetSecurityDescriptorDacl"));
    auto setFileSecurity = reinterpret_cast<SetFileSecurityFn>(GetProcAddress(library, "SetFileSecurityA"));
    FARPROC setKeySecurity = GetProcAddress(library, "RegSetKeySecurity");
    auto freeSid = reinterpret_cast<FreeSidFn>(GetProcAddress(library, "FreeSid"));
    if (allocateSid == nullptr || setEntries == nullptr || initDescriptor == nullptr || setDacl == nullptr
        || setFileSecurity == nullptr || setKeySecurity == nullptr || freeSid == nullptr) {
        FreeLibrary(library);
        return true;  // no access control to change
    }
    bool granted = false;
    SidAuthority world{{0, 0, 0, 0, 0, 1}};
    void* everyone = nullptr;
    if (allocateSid(&world, 1, 0, 0, 0, 0, 0, 0, 0, 0, &everyone) != FALSE) {
        ExplicitAccess access{};
        access.permissions = kAllRights;
        access.mode = kSetAccess;
        access.inheritance = kSubContainersAndObjectsInherit;
        access.trustee.form = kTrusteeIsSid;
        access.trustee.type = kTrusteeIsWellKnownGroup;
        access.trustee.name = static_cast<char*>(everyone);
        void* acl = nullptr;
        if (setEntries(1, &access, nullptr, &acl) == 0) {
            std::vector<unsigned char> descriptor(64, 0);
            if (initDescriptor(descriptor.data(), kSecurityDescriptorRevision) != FALSE
                && setDacl(descriptor.data(), TRUE, acl, FALSE) != FALSE) {
                granted = setFileSecurity(path.c_str(), kDaclSecurityInformation, descriptor.data()) == 1;
            }
            HMODULE kernel = LoadLibraryA("kernel32.dll");
            if (kernel != nullptr) {
                if (auto localFree = reinterpret_cast<LocalFreeFn>(GetProcAddress(kernel, "LocalFree"))) {
                    localFree(acl);
                }
                FreeLibrary(kernel);
            }
        }
        freeSid(everyone);
    }
    FreeLibrary(library);
    return granted;
}

}  // namespace Qmv2
