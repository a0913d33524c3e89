#include "platform/win32/RuntimeFolder.h"

#include <cstdlib>

namespace platform {

std::string RuntimeFolder()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return runtime != nullptr && runtime[0] != '\0' ? runtime : "/tmp";
}

}  // namespace platform
