// Conversions between byte code pages and UTF-16. Code page 65001 is UTF-8;
// code page 0 (the ANSI code page) is Windows-1252 here.
#pragma once

#include "platform/win32/WinTypes.h"

#include <string>

#define CP_ACP 0
#define CP_UTF8 65001
#define MB_ERR_INVALID_CHARS 0x00000008
#define WC_ERR_INVALID_CHARS 0x00000080

// Answers the number of UTF-16 units written (or needed, when wideCount is 0),
// 0 on failure with the last error set. A byteCount of -1 converts up to and
// including the terminating zero. Invalid UTF-8 becomes U+FFFD, or fails with
// ERROR_NO_UNICODE_TRANSLATION under MB_ERR_INVALID_CHARS.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR bytes, int byteCount, LPWSTR wide, int wideCount);

// Answers the number of bytes written (or needed, when byteCount is 0), 0 on
// failure. Unpaired surrogates become U+FFFD in UTF-8 (or fail under
// WC_ERR_INVALID_CHARS); characters outside Windows-1252 become the default
// character ("?" unless given) and set *usedDefault. For UTF-8 the two default
// arguments must be null.
// Lower-cases the first `length` characters in place (ASCII letters); answers length.
DWORD CharLowerBuffA(LPSTR text, DWORD length);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideCount, LPSTR bytes, int byteCount,
                        LPCSTR defaultChar, BOOL* usedDefault);

namespace platform {

// Zero-terminated UTF-16 to UTF-8 (null gives the empty text); invalid units become U+FFFD.
std::string WideToUtf8(LPCWSTR wide);
// UTF-8 to UTF-16; invalid bytes become U+FFFD.
std::u16string Utf8ToWide(const std::string& text);

}  // namespace platform
