#include "platform/win32/WinRegistry.h"

#include "platform/win32/AsciiCase.h"
#include "platform/win32/AtomicFile.h"
#include "platform/win32/WinLastError.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <limits>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// File layout, one record a line, every field percent-encoded:
//   qmv-registry 1
//   key <path>
//   value <type> <name> <data>
constexpr const char* kMagic = "qmv-registry 1";
constexpr std::size_t kMaxLine = 4u << 20;

struct Value {
    std::string name;
    DWORD type = REG_NONE;
    std::string data;
};

struct Key {
    std::string path;  // as first written
    std::vector<Value> values;
};

using Hive = std::map<std::string, Key>;  // by folded path

struct OpenKey {
    HKEY root;
    std::string path;  // folded
};

std::mutex g_hiveLock;
std::map<HKEY, OpenKey> g_openKeys;
std::uintptr_t g_nextKey = 0xA0000;

std::string Folded(const std::string& text)
{
    return platform::AsciiLower(text);
}

// Splits at "\", drops empty parts, joins with "\".
std::string CleanPath(const std::string& path)
{
    std::string result;
    std::string part;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '\\') {
            if (!part.empty()) {
                result += (result.empty() ? "" : "\\") + part;
            }
            part.clear();
        } else {
            part.push_back(path[i]);
        }
    }
    return result;
}

std::string Join(const std::string& parent, const std::string& child)
{
    if (parent.empty()) {
        return child;
    }
    return child.empty() ? parent : parent + "\\" + child;
}

std::string Encode(const std::string& text)
{
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (c > 0x20 && c < 0x7F && c != '%') {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('%');
            out.push_back(digits[c >> 4]);
            out.push_back(digits[c & 0xF]);
        }
    }
    return out.empty() ? "%" : out;  // a lone "%" stands for the empty text
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

bool Decode(const std::string& field, std::string& out)
{
    out.clear();
    if (field == "%") {
        return true;
    }
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '%') {
            out.push_back(field[i]);
            continue;
        }
        if (i + 2 >= field.size()) {
            return false;
        }
        int high = HexDigit(field[i + 1]);
        int low = HexDigit(field[i + 2]);
        if (high < 0 || low < 0) {
            return false;
        }
        out.push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    return true;
}

std::string ConfigHome()
{
    const char* value = std::getenv("XDG_CONFIG_HOME");
    if (value != nullptr && value[0] == '/') {
        return value;
    }
    const char* home = std::getenv("HOME");
    return home != nullptr && home[0] == '/' ? std::string(home) + "/.config" : std::string();
}

std::string MachineFile()
{
    const char* value = std::getenv("XDG_CONFIG_DIRS");
    std::string dirs = value != nullptr && *value != 0 ? value : "/etc/xdg";
    std::stringstream list(dirs);
    std::string dir;
    while (std::getline(list, dir, ':')) {
        if (dir.empty() || dir[0] != '/') {
            continue;
        }
        std::string file = dir + "/Orvendale/registry/local-machine.reg";
        if (::access(file.c_str(), R_OK) == 0) {
            return file;
        }
    }
    return {};
}

bool Writable(HKEY root)
{
    return root == HKEY_CURRENT_USER;
}

void AddKey(Hive& hive, const std::string& path)
{
    // A key brings its ancestors with it.
    std::string clean = CleanPath(path);
    for (std::size_t pos = 0; pos != std::string::npos;) {
        pos = clean.find('\\', pos + 1);
        std::string prefix = pos == std::string::npos ? clean : clean.substr(0, pos);
        auto [it, added] = hive.try_emplace(Folded(prefix));
        if (added) {
            it->second.path = prefix;
        }
    }
}

// Registry files that could not be read, each handled once a run, and the
// report of them that waits until the program asks for it.
std::set<std::string> g_damaged;
std::string g_problems;
std::map<std::string, bool> g_swept;

// A user hive that exists but cannot be read whole (no permission, not ours,
// a damaged line) is copied aside before any change may rewrite it; without a
// copy it is never rewritten in this run.
void KeepDamagedHive(const std::string& file)
{
    if (!g_damaged.insert(file).second) {
        return;
    }
    const std::string text = platform::KeepDamagedCopy(
        file, "The settings file", "the settings it could not read are back to their defaults");
    if (!text.empty()) {
        g_problems += (g_problems.empty() ? "" : "\n") + text;
        std::fprintf(stderr, "%s\n", text.c_str());
    }
}

// The direct sub-keys of a key, in the order of their folded names.
std::vector<const Key*> Children(const Hive& hive, const std::string& path)
{
    std::vector<const Key*> children;
    std::string prefix = path.empty() ? "" : path + "\\";
    for (const auto& [folded, child] : hive) {
        if (folded.size() > prefix.size() && folded.compare(0, prefix.size(), prefix) == 0
            && folded.find('\\', prefix.size()) == std::string::npos) {
            children.push_back(&child);
        }
    }
    return children;
}

// Keys and values that stand-ins install under the read-only roots for the
// run, as a driver's installer would (platform::AddInstalledRegistryValues).
std::map<HKEY, Hive> g_installed;

Hive LoadFile(HKEY root);

// A hive with what stand-ins installed laid over what its file holds.
Hive Load(HKEY root)
{
    Hive hive = LoadFile(root);
    auto installed = g_installed.find(root);
    if (installed != g_installed.end()) {
        for (const auto& [folded, key] : installed->second) {
            AddKey(hive, key.path);
            Key& target = hive[folded];
            for (const Value& value : key.values) {
                target.values.push_back(value);
            }
        }
    }
    return hive;
}

// Reads the next line into `line`; false at the end of the file. A line that
// the end of the file cuts short, or one longer than kMaxLine (skipped to its
// end, never held whole), sets `damaged`: every line we write ends with a
// newline and is far shorter.
bool NextLine(std::istream& in, std::string& line, bool& damaged)
{
    line.clear();
    for (int c = in.get(); c != std::char_traits<char>::eof(); c = in.get()) {
        if (c == '\n') {
            return true;
        }
        if (line.size() == kMaxLine) {
            in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
            line.clear();
            damaged = true;
            return true;
        }
        line.push_back(static_cast<char>(c));
    }
    damaged = damaged || !line.empty();
    return !line.empty();
}

// Reads a hive; a damaged line is skipped, never trusted, and the file is
// kept aside before a change rewrites it without that line.
Hive LoadFile(HKEY root)
{
    Hive hive;
    hive[""].path = "";
    std::string file = platform::RegistryFileOf(root);
    if (file.empty()) {
        return hive;
    }
    if (Writable(root) && !g_swept[file]) {
        g_swept[file] = true;
        platform::RemoveStaleTemporaries(file.substr(0, file.find_last_of('/')));
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        struct stat info{};
        if (Writable(root) && ::stat(file.c_str(), &info) == 0) {
            KeepDamagedHive(file);
        }
        return hive;
    }
    std::string line;
    bool damaged = false;
    if (!NextLine(in, line, damaged) || line != kMagic) {
        if (Writable(root) && !(in.eof() && line.empty())) {
            KeepDamagedHive(file);
        }
        return hive;
    }
    Key* current = nullptr;
    while (NextLine(in, line, damaged)) {
        std::istringstream fields(line);
        std::string kind;
        fields >> kind;
        bool read = line.empty();
        if (kind == "key") {
            std::string encoded;
            std::string path;
            current = nullptr;
            if (fields >> encoded && Decode(encoded, path)) {
                AddKey(hive, path);
                current = &hive[Folded(CleanPath(path))];
                read = true;
            }
        } else if (kind == "value" && current != nullptr) {
            DWORD type = 0;
            std::string name;
            std::string data;
            std::string encodedName;
            std::string encodedData;
            if (fields >> type >> encodedName >> encodedData && Decode(encodedName, name) && Decode(encodedData, data)) {
                current->values.push_back(Value{name, type, data});
                read = true;
            }
        }
        damaged = damaged || !read;
    }
    // What was lost with the lines that could not be read is kept in the copy.
    if (damaged && Writable(root)) {
        KeepDamagedHive(file);
    }
    return hive;
}

bool Save(HKEY root, const Hive& hive)
{
    std::string file = platform::RegistryFileOf(root);
    if (file.empty()) {
        return false;
    }
    std::string folder = file.substr(0, file.find_last_of('/'));
    for (std::size_t pos = 1; pos <= folder.size(); ++pos) {
        if (pos == folder.size() || folder[pos] == '/') {
            ::mkdir(folder.substr(0, pos).c_str(), 0700);
        }
    }
    std::string text = std::string(kMagic) + "\n";
    for (const auto& [folded, key] : hive) {
        if (folded.empty() && key.values.empty()) {
            continue;
        }
        text += "key " + Encode(key.path) + "\n";
        for (const Value& value : key.values) {
            text += "value " + std::to_string(value.type) + " " + Encode(value.name) + " " + Encode(value.data) + "\n";
        }
    }
    return platform::WriteFileAtomically(file, text);
}

// Holds the user hive's lock file while a change reads and rewrites it, so
// that two processes do not lose each other's changes.
class FileLock {
public:
    explicit FileLock(const std::string& file)
    {
        if (!file.empty()) {
            m_fd = ::open((file + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
            if (m_fd >= 0) {
                ::flock(m_fd, LOCK_EX);
            }
        }
    }
    ~FileLock()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    int m_fd = -1;
};

bool IsRoot(HKEY key)
{
    return key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE;
}

// The root and folded path of a key handle (predefined or opened).
bool Resolve(HKEY key, OpenKey& out)
{
    if (IsRoot(key)) {
        out = OpenKey{key, ""};
        return true;
    }
    auto it = g_openKeys.find(key);
    if (it == g_openKeys.end()) {
        return false;
    }
    out = it->second;
    return true;
}

HKEY NewHandle(const OpenKey& key)
{
    HKEY handle = reinterpret_cast<HKEY>(g_nextKey);
    g_nextKey += 0x10;
    g_openKeys[handle] = key;
    return handle;
}

Value* FindValue(Key& key, const std::string& name)
{
    std::string folded = Folded(name);
    for (Value& value : key.values) {
        if (Folded(value.name) == folded) {
            return &value;
        }
    }
    return nullptr;
}

LONG CopyData(const std::string& data, LPBYTE out, LPDWORD size)
{
    if (size == nullptr) {
        return out == nullptr ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
    }
    DWORD room = *size;
    *size = static_cast<DWORD>(data.size());
    if (out == nullptr) {
        return ERROR_SUCCESS;
    }
    if (room < data.size()) {
        return ERROR_MORE_DATA;
    }
    std::memcpy(out, data.data(), data.size());
    return ERROR_SUCCESS;
}

}  // namespace

namespace platform {

LONG SetRegistryValues(HKEY key, const std::vector<RegistryValue>& values)
{
    for (const RegistryValue& value : values) {
        if (value.type == REG_DWORD && value.data.size() != 4) {
            return ERROR_INVALID_PARAMETER;
        }
    }
    std::lock_guard<std::mutex> hold(g_hiveLock);
    OpenKey open;
    if (!Resolve(key, open)) {
        return ERROR_INVALID_HANDLE;
    }
    if (!Writable(open.root)) {
        return ERROR_ACCESS_DENIED;
    }
    FileLock lock(platform::RegistryFileOf(open.root));
    Hive hive = Load(open.root);
    auto it = hive.find(open.path);
    if (it == hive.end()) {
        return ERROR_FILE_NOT_FOUND;  // the key was deleted since it was opened
    }
    for (const RegistryValue& value : values) {
        if (Value* stored = FindValue(it->second, value.name)) {
            stored->type = value.type;
            stored->data = value.data;
        } else {
            it->second.values.push_back(Value{value.name, value.type, value.data});
        }
    }
    return Save(open.root, hive) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

std::string TakeRegistryProblems()
{
    std::lock_guard<std::mutex> hold(g_hiveLock);
    return std::exchange(g_problems, std::string());
}

std::string RegistryFileOf(HKEY root)
{
    if (root == HKEY_CURRENT_USER) {
        std::string home = ConfigHome();
        return home.empty() ? std::string() : home + "/Orvendale/registry/current-user.reg";
    }
    if (root == HKEY_LOCAL_MACHINE) {
        return MachineFile();
    }
    return {};
}

}  // namespace platform

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM, PHKEY result)
{
    if (result == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    *result = nullptr;
    std::lock_guard<std::mutex> hold(g_hiveLock);
    OpenKey parent;
    if (!Resolve(key, parent)) {
        return ERROR_INVALID_HANDLE;
    }
    std::string path = Folded(CleanPath(Join(parent.path, subKey != nullptr ? subKey : "")));
    Hive hive = Load(parent.root);
    if (hive.count(path) == 0) {
        return ERROR_FILE_NOT_FOUND;
    }
    *result = NewHandle(OpenKey{parent.root, path});
    return ERROR_SUCCESS;
}

LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY result,
                     LPDWORD disposition)
{
    if (result == nullptr || subKey == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    *result = nullptr;
    std::lock_guard<std::mutex> hold(g_hiveLock);
    OpenKey parent;
    if (!Resolve(key, parent)) {
        return ERROR_INVALID_HANDLE;
    }
    std::string clean = CleanPath(Join(parent.path, subKey));
    std::string path = Folded(clean);
    FileLock lock(Writable(parent.root) ? platform::RegistryFileOf(parent.root) : std::string());
    Hive hive = Load(parent.root);
    bool existed = hive.count(path) != 0;
    if (!existed) {
        if (!Writable(parent.root)) {
            return ERROR_ACCESS_DENIED;
        }
        // An opened parent carries its folded path; keep the caller's spelling of the new part.
        AddKey(hive, clean);
        if (!Save(parent.root, hive)) {
            return ERROR_ACCESS_DENIED;
        }
    }
    if (disposition != nullptr) {
        *disposition = existed ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
    }
    *result = NewHandle(OpenKey{parent.root, path});
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key)
{
    std::lock_guard<std::mutex> hold(g_hiveLock);
    if (IsRoot(key)) {
        return ERROR_SUCCESS;
    }
    return g_openKeys.erase(key) != 0 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD dataSize)
{
    std::lock_guard<std::mutex> hold(g_hiveLock);
    OpenKey open;
    if (!Resolve(key, open)) {
        return ERROR_INVALID_HANDLE;
    }
    Hive hive = Load(open.root);
    auto it = hive.find(open.path);
    Value* value = it == hive.end() ? nullptr : FindValue(it->second, name != nullptr ? name : "");
    if (value == nullptr) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (type != nullptr) {
        *type = value->type;
    }
    return CopyData(value->data, data, dataSize);
}

LONG RegSetValueExA(HKEY key, LPCSTR name, DWORD, DWORD type, const BYTE* data, DWORD dataSize)
{
    if (data == nullptr && dataSize != 0) {
        return ERROR_INVALID_PARAMETER;
    }
    std::string bytes(reinterpret_cast<const char*>(data), reinterpret_cast<const char*>(data) + dataSize);
    return platform::SetRegistryValues(key, {platform::RegistryValue{name != nullptr ? name : "", type, bytes}});
}

LONG RegEnumValueA(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD, LPDWORD type, LPBYTE data,
                   LPDWORD dataSize)
{
    if (name == nullptr || nameLength == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    std::lock_guard<std::mutex> hold(g_hiveLock);
    OpenKey open;
    if (!Resolve(key, open)) {
        return ERROR_INVALID_HANDLE;
    }
    Hive hive = Load(open.root);
    auto it = hive.find(open.path);
    if (it == hive.end() || index >= it->second.values.size()) {
        return ERROR_NO_MORE_ITEMS;
    }
    const Value& value = it->second.values[index];
    if (value.name.size() + 1 > *nameLength) {
        return ERROR_MORE_DATA;
    }
    if (dataSize != nullptr && data != nullptr && *dataSize < value.data.size()) {
        *dataSize = static_cast<DWORD>(value.data.size());
        return ERROR_MORE_DATA;
    }
    std::memcpy(name, value.name.c_str(), value.name.size() + 1);
    *nameLength = static_cast<DWORD>(value.name.size());
    if (type != nullptr) {
        *type = value.type;
    }
    return CopyData(value.data, data, dataSize);
}

LONG RegOpenKeyA(HKEY key, LPCSTR subKey, PHKEY result)
{
    return RegOpenKeyExA(key, subKey, 0, KEY_READ, result);
}

LONG RegEnumKeyA(HKEY key, DWORD index, LPSTR name, DWORD nameLength)
{
    if (name == nullptr || nameLength == 0) {
        return ERROR_INVALID_PARAMETER;
    }
    std::lock_guard<std::mutex> hold(g_hiveLock);
    OpenKey open;
    if (!Resolve(key, open)) {
        return ERROR_INVALID_HANDLE;
    }
    Hive hive = Load(open.root);
    if (hive.count(open.path) == 0) {
        return ERROR_FILE_NOT_FOUND;
    }
    const std::vector<const Key*> children = Children(hive, open.path);
    if (index < children.size()) {
        const std::string& path = children[index]->path;
        const std::string own = path.substr(path.find_last_of('\\') + 1);
        if (own.size() + 1 > nameLength) {
            return ERROR_MORE_DATA;
        }
        std::memcpy(name, own.c_str(), own.size() + 1);
        return ERROR_SUCCESS;
    }
    return ERROR_NO_MORE_ITEMS;
}

namespace platform {

void AddInstalledRegistryValues(HKEY root, const std::string& path, const std::vector<RegistryValue>& values)
{
    std::lock_guard<std::mutex> hold(g_hiveLock);
    Hive& hive = g_installed[root];
    AddKey(hive, path);
    Key& key = hive[Folded(CleanPath(path))];
    for (const RegistryValue& value : values) {
        if (Value* existing = FindValue(key, value.name)) {
            *existing = Value{value.name, value.type, value.data};
        } else {
            key.values.push_back(Value{value.name, value.type, value.data});
        }
    }
}

}  // namespace platform

LONG RegQueryInfoKeyA(HKEY key, LPSTR keyClass, LPDWORD classLength, LPDWORD, LPDWORD subKeys,
                      LPDWORD maxSubKeyLength, LPDWORD maxClassLength, LPDWORD values, LPDWORD maxValueNameLength,
                      LPDWORD maxValueLength, LPDWORD securityDescriptorSize, PFILETIME lastWriteTime)
{
    std::lock_guard<std::mutex> hold(g_hiveLock);
    OpenKey open;
    if (!Resolve(key, open)) {
        return ERROR_INVALID_HANDLE;
    }
    Hive hive = Load(open.root);
    auto it = hive.find(open.path);
    if (it == hive.end()) {
        return ERROR_FILE_NOT_FOUND;
    }
    const std::vector<const Key*> childKeys = Children(hive, open.path);
    const DWORD children = static_cast<DWORD>(childKeys.size());
    DWORD longestChild = 0;
    for (const Key* child : childKeys) {
        const std::size_t own = child->path.size() - child->path.find_last_of('\\') - 1;
        longestChild = std::max(longestChild, static_cast<DWORD>(own));
    }
    DWORD longestName = 0;
    DWORD longestData = 0;
    for (const Value& value : it->second.values) {
        longestName = std::max(longestName, static_cast<DWORD>(value.name.size()));
        longestData = std::max(longestData, static_cast<DWORD>(value.data.size()));
    }
    if (keyClass != nullptr && classLength != nullptr && *classLength > 0) {
        keyClass[0] = 0;
    }
    if (classLength != nullptr) {
        *classLength = 0;
    }
    if (subKeys != nullptr) {
        *subKeys = children;
    }
    if (maxSubKeyLength != nullptr) {
        *maxSubKeyLength = longestChild;
    }
    if (maxClassLength != nullptr) {
        *maxClassLength = 0;
    }
    if (values != nullptr) {
        *values = static_cast<DWORD>(it->second.values.size());
    }
    if (maxValueNameLength != nullptr) {
        *maxValueNameLength = longestName;
    }
    if (maxValueLength != nullptr) {
        *maxValueLength = longestData;
    }
    if (securityDescriptorSize != nullptr) {
        *securityDescriptorSize = 0;
    }
    if (lastWriteTime != nullptr) {
        *lastWriteTime = FILETIME{0, 0};
    }
    return ERROR_SUCCESS;
}
