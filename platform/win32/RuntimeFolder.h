// The user's runtime folder ($XDG_RUNTIME_DIR, else /tmp): where the
// per-session lock and window files of the program live.
#pragma once

#include <string>

namespace platform {

std::string RuntimeFolder();

}  // namespace platform
