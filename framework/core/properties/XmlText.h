// Text on its way into and out of XML.
#pragma once

#include <cstdint>
#include <string>

namespace Qmv2::XmlText {

// Text made safe for XML: invalid UTF-8 becomes U+FFFD, characters that XML
// cannot carry are dropped, markup and control characters are escaped.
std::string EscapeText(const std::string& text);

// Every malformed UTF-8 sequence replaced by U+FFFD, so that a parser that
// steps by lead bytes never steps over the end of the text.
std::string RepairUtf8(const std::string& text);

}  // namespace Qmv2::XmlText
