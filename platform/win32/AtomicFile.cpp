#include "platform/win32/AtomicFile.h"

#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

bool WriteFileAtomically(const std::string& path, const std::function<bool(std::FILE*)>& produce)
{
    if (path.empty() || path.back() == '/') {
        return false;
    }
    std::string pattern = path + ".tmp-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = ::mkstemp(name.data());
    if (fd < 0) {
        return false;
    }
    ::fchmod(fd, 0644);
    std::FILE* stream = ::fdopen(fd, "wb");
    if (stream == nullptr) {
        ::close(fd);
        ::unlink(name.data());
        return false;
    }
    bool ok = produce(stream);
    ok = std::fflush(stream) == 0 && ok;
    ok = std::ferror(stream) == 0 && ok;
    ok = ::fsync(::fileno(stream)) == 0 && ok;
    ok = std::fclose(stream) == 0 && ok;
    if (!ok || ::rename(name.data(), path.c_str()) != 0) {
        ::unlink(name.data());
        return false;
    }
    SyncFolderOf(path);  // makes the rename itself durable
    return true;
}

void SyncFolderOf(const std::string& path)
{
    std::size_t slash = path.find_last_of('/');
    std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

bool WriteFileAtomically(const std::string& path, const std::string& contents)
{
    return WriteFileAtomically(path, [&contents](std::FILE* stream) {
        return contents.empty() || std::fwrite(contents.data(), 1, contents.size(), stream) == contents.size();
    });
}

}  // namespace platform
