#include "platform/win32/WinText.h"

#include "platform/win32/WinLastError.h"

#include <cstring>
#include <string>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Windows-1252 bytes 0x80 to 0x9F; the five unassigned bytes map to the C1
// controls of the same value, so every byte converts and round-trips.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Decodes one UTF-8 sequence starting at bytes[i]; never reads at or past end.
// Answers the code point (kReplacement for an invalid sequence) and advances i
// past the bytes consumed (one byte for an invalid lead).
char32_t DecodeUtf8(const unsigned char* bytes, std::size_t end, std::size_t& i, bool& invalid)
{
    unsigned char lead = bytes[i];
    invalid = false;
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    int length = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        cp = lead & 0x1F;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        cp = lead & 0x0F;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        cp = lead & 0x07;
        minimum = 0x10000;
    } else {
        ++i;
        invalid = true;
        return kReplacement;
    }
    std::size_t j = i + 1;
    for (int k = 1; k < length; ++k, ++j) {
        if (j >= end || (bytes[j] & 0xC0) != 0x80) {
            // A truncated or broken sequence: replace the bytes seen so far.
            i = j;
            invalid = true;
            return kReplacement;
        }
        cp = (cp << 6) | (bytes[j] & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        i = j;
        invalid = true;
        return kReplacement;
    }
    i = j;
    return cp;
}

void AppendUtf16(std::u16string& out, char32_t cp)
{
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(static_cast<char16_t>(cp));
    }
}

void AppendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// The Windows-1252 byte of a code point, or -1 when it has none.
int Cp1252Byte(char32_t cp)
{
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
        return static_cast<int>(cp);
    }
    for (int k = 0; k < 32; ++k) {
        if (kCp1252High[k] == cp) {
            return 0x80 + k;
        }
    }
    return -1;
}

// Copies the result out under the counting rules both conversions share.
template <typename Unit, typename Text>
int DeliverText(const Text& text, Unit* out, int outCount)
{
    if (text.size() > 0x7FFFFFFF) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    int needed = static_cast<int>(text.size());
    if (outCount == 0) {
        return needed;
    }
    if (needed > outCount) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(out, text.data(), text.size() * sizeof(Unit));
    return needed;
}

}  // namespace

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR bytes, int byteCount, LPWSTR wide, int wideCount)
{
    if (bytes == nullptr || byteCount == 0 || byteCount < -1 || wideCount < 0 || (wideCount > 0 && wide == nullptr)
        || (codePage != CP_UTF8 && codePage != CP_ACP)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::size_t length = byteCount == -1 ? std::strlen(bytes) + 1 : static_cast<std::size_t>(byteCount);
    const auto* in = reinterpret_cast<const unsigned char*>(bytes);
    std::u16string out;
    out.reserve(length);
    if (codePage == CP_ACP) {
        for (std::size_t i = 0; i < length; ++i) {
            unsigned char b = in[i];
            out.push_back(b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : static_cast<char16_t>(b));
        }
    } else {
        std::size_t i = 0;
        while (i < length) {
            bool invalid = false;
            char32_t cp = DecodeUtf8(in, length, i, invalid);
            if (invalid && (flags & MB_ERR_INVALID_CHARS) != 0) {
                SetLastError(ERROR_NO_UNICODE_TRANSLATION);
                return 0;
            }
            AppendUtf16(out, cp);
        }
    }
    return DeliverText(out, wide, wideCount);
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideCount, LPSTR bytes, int byteCount,
                        LPCSTR defaultChar, BOOL* usedDefault)
{
    if (wide == nullptr || wideCount == 0 || wideCount < -1 || byteCount < 0 || (byteCount > 0 && bytes == nullptr)
        || (codePage != CP_UTF8 && codePage != CP_ACP)
        || (codePage == CP_UTF8 && (defaultChar != nullptr || usedDefault != nullptr))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::size_t length = 0;
    if (wideCount == -1) {
        while (wide[length] != 0) {
            ++length;
        }
        ++length;
    } else {
        length = static_cast<std::size_t>(wideCount);
    }
    if (usedDefault != nullptr) {
        *usedDefault = FALSE;
    }
    std::string out;
    out.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        char32_t cp = wide[i];
        bool invalid = false;
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < length && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            invalid = true;
        }
        if (codePage == CP_UTF8) {
            if (invalid && (flags & WC_ERR_INVALID_CHARS) != 0) {
                SetLastError(ERROR_NO_UNICODE_TRANSLATION);
                return 0;
            }
            AppendUtf8(out, invalid ? kReplacement : cp);
            continue;
        }
        int b = invalid ? -1 : Cp1252Byte(cp);
        if (b < 0) {
            out.push_back(defaultChar != nullptr ? *defaultChar : '?');
            if (usedDefault != nullptr) {
                *usedDefault = TRUE;
            }
        } else {
            out.push_back(static_cast<char>(b));
        }
    }
    return DeliverText(out, bytes, byteCount);
}

namespace platform {

std::string WideToUtf8(LPCWSTR wide)
{
    if (wide == nullptr || wide[0] == 0) {
        return {};
    }
    int needed = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(needed), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, out.data(), needed, nullptr, nullptr);
    out.resize(static_cast<std::size_t>(needed) - 1);
    return out;
}

std::u16string Utf8ToWide(const std::string& text)
{
    if (text.empty()) {
        return {};
    }
    int needed = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::u16string out(static_cast<std::size_t>(needed), u'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), needed);
    return out;
}

}  // namespace platform

DWORD CharLowerBuffA(LPSTR text, DWORD length)
{
    if (!text) {
        return 0;
    }
    for (DWORD i = 0; i < length; ++i) {
        if (text[i] >= 'A' && text[i] <= 'Z') {
            text[i] = char(text[i] - 'A' + 'a');
        }
    }
    return length;
}
