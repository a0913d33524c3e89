// The framework's thin layer over the system: text conversions, message
// boxes, debug output, the clipboard, display modes, web addresses and the
// date. Every text argument and result is UTF-8.
#pragma once

#include <string>

namespace Qmv2 {
namespace Platform {

// The platform word, "WIN"; the string table appends "_" and it to a missing key.
const std::string& GetPlatformName();
// UTF-16 to UTF-8.
std::string ToNarrow(const std::u16string& wide);
// Text in the ANSI code page to UTF-8.
std::string AnsiToUtf8(const std::string& ansi);
// The framework's one message box: OK button, exclamation icon, in front.
// Answers 0 for OK, 2 for Yes, 3 for No, 1 otherwise.
int ShowMessage(const std::string& text, const std::string& caption);
// Debug output of the prefix, "\n\t" and the text; the text alone without a prefix.
void DebugOutput(const std::string& text, const std::string& prefix);
// printf-style logging, truncated to 1023 bytes, through DebugOutput.
void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Whether the display offers width x height at the current colour depth and refresh rate.
bool IsDisplayModeAvailable(int width, int height);

}  // namespace Platform

// Current UTC time as "yyyy-MM-dd HH-mm-ss".
std::string GetDateTimeString();
// UTF-8 to UTF-16.
std::u16string Utf8ToWide(const std::string& text);
// Opens a web address in the user's browser.
void OpenURL(const std::string& address);
// The clipboard's text; empty when there is none or the clipboard cannot be opened.
std::string GetClipboardText();
// Places the text on the clipboard; nothing when the clipboard cannot be opened.
void SetClipboardText(const std::string& text);

}  // namespace Qmv2
