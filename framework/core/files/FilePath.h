// The path rules every file name passes through. Texts are UTF-8 bytes.
#pragma once

#include <string>

namespace Qmv2 {

// "\" becomes "/", runs of "/" collapse to one, and every "./" is removed
// (so "../data/x" becomes ".data/x": paths stay inside the working folder).
std::string NormalisePath(const std::string& path);
// NormalisePath, one leading "/" removed, A to Z lower-cased.
std::string NormaliseResourceName(const std::string& path);
// The text before the last "/" of the normalised path; the path itself when it has none.
std::string GetPathDirectory(const std::string& path);
// The lower-cased text after the last "."; the name unchanged without a ".",
// empty when the "." ends the name.
std::string GetFileExtension(const std::string& name);
// A one-to-one escaping of user text into a safe file name: reserved device
// names, a leading "." or blank, control bytes, bytes 0x7F to 0xBF and the
// characters *+#:?[]|<>/\" become "#" and two upper-case hex digits.
std::string EscapeFileName(const std::string& text);

}  // namespace Qmv2
