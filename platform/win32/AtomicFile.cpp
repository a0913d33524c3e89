#include "platform/win32/AtomicFile.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {
namespace {

constexpr const char* kTemporaryMark = ".tmp-";
constexpr std::size_t kTemporarySuffix = 6;  // mkstemp's "XXXXXX"

std::mutex g_protectedLock;
std::set<std::string> g_protected;

std::string Canonical(const std::string& path)
{
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

bool IsOurTemporary(const std::string& name)
{
    const std::size_t mark = name.rfind(kTemporaryMark);
    return mark != std::string::npos && mark > 0 && name.size() == mark + std::strlen(kTemporaryMark) + kTemporarySuffix;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, const std::function<bool(std::FILE*)>& produce)
{
    if (path.empty() || path.back() == '/') {
        return false;
    }
    if (IsProtectedFile(path)) {
        errno = EPERM;
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

std::string KeepDamagedCopy(const std::string& path, const std::string& what, const std::string& instead)
{
    if (IsProtectedFile(path)) {
        return std::string();  // the player was told when it was first met
    }
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bool read = false;
    if (in) {
        bytes << in.rdbuf();
        read = !in.bad();
    }
    const int readError = errno;
    std::string said = what + " " + path + " could not be read";
    if (read && WriteFileAtomically(path + ".damaged", bytes.str())) {
        said += ". A copy is kept as " + path + ".damaged; " + instead + ".";
    } else {
        said += " (" + std::string(std::strerror(read ? errno : readError)) +
                "), and no copy of it could be made. It is left as it is, and nothing is saved over it until the "
                "game is started again; " + instead + ".";
        std::lock_guard<std::mutex> hold(g_protectedLock);
        g_protected.insert(Canonical(path));
    }
    return said;
}

bool IsProtectedFile(const std::string& path)
{
    std::lock_guard<std::mutex> hold(g_protectedLock);
    return !g_protected.empty() && g_protected.count(Canonical(path)) != 0;
}

void RemoveStaleTemporaries(const std::string& folder)
{
    namespace fs = std::filesystem;
    std::error_code error;
    const auto limit = fs::file_time_type::clock::now() - std::chrono::minutes(1);
    for (fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, error), end;
         !error && it != end; it.increment(error)) {
        std::error_code ignored;
        if (it->is_regular_file(ignored) && IsOurTemporary(it->path().filename().string()) &&
            it->last_write_time(ignored) < limit) {
            fs::remove(it->path(), ignored);
        }
    }
}

}  // namespace platform
