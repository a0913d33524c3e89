#include "framework/core/files/FilePath.h"

#include <array>
#include <cstdio>
#include <cstring>

#include "framework/core/util/StringFunctions.h"
#include "platform/win32/AsciiCase.h"

namespace Qmv2 {
namespace {

bool IsReserved(const std::string& text)
{
    static const std::array<std::string, 25> kReserved = [] {
        std::array<std::string, 25> names{"CON", "PRN", "AUX", "CLOCK$", "NUL"};
        for (int k = 0; k < 10; ++k) {
            names[5 + k] = "COM" + std::to_string(k);
            names[15 + k] = "LPT" + std::to_string(k);
        }
        return names;
    }();
    for (const std::string& name : kReserved) {
        if (text == name || (text.size() > name.size() && text.compare(0, name.size(), name) == 0
                             && text[name.size()] == '.')) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::string NormalisePath(const std::string& path)
{
    if (path.empty()) {
        return {};
    }
    std::string result = path;
    for (char& c : result) {
        if (c == '\\') {
            c = '/';
        }
    }
    ReplaceAll(result, "//", "/");
    for (std::size_t pos = result.find("./"); pos != std::string::npos; pos = result.find("./", pos)) {
        result.erase(pos, 2);
    }
    return result;
}

std::string NormaliseResourceName(const std::string& path)
{
    std::string result = NormalisePath(path);
    if (!result.empty() && result[0] == '/') {
        result.erase(0, 1);
    }
    return platform::AsciiLower(result);
}

std::string GetPathDirectory(const std::string& path)
{
    if (path.empty()) {
        return {};
    }
    std::string normal = NormalisePath(path);
    std::size_t slash = normal.rfind('/');
    return slash == std::string::npos ? path : normal.substr(0, slash);
}

std::string GetFileExtension(const std::string& name)
{
    std::size_t dot = name.rfind('.');
    if (name.empty() || dot == std::string::npos) {
        return name;
    }
    return platform::AsciiLower(name.substr(dot + 1));
}

std::string EscapeFileName(const std::string& text)
{
    static const char* const kEscaped = "*+#:?[]|<>/\\\"";
    bool reserved = IsReserved(text);
    std::string result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto byte = static_cast<unsigned char>(text[i]);
        bool escape = (i == 0 && (reserved || byte == '.' || byte == ' ')) || byte < 0x20
                      || (byte >= 0x7F && byte <= 0xBF) || (byte != 0 && std::strchr(kEscaped, byte) != nullptr);
        if (escape) {
            char code[4];
            std::snprintf(code, sizeof code, "#%02X", byte);
            result += code;
        } else {
            result.push_back(static_cast<char>(byte));
        }
    }
    return result;
}

}  // namespace Qmv2
