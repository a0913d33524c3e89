#include "platform/win32/WinInstance.h"

#include "platform/win32/RuntimeFolder.h"
#include "platform/win32/WinKernelObject.h"
#include "platform/win32/WinLastError.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cctype>
#include <string>

namespace platform {
namespace {

class NamedMutex : public KernelObject {
public:
    NamedMutex(int lockFile, bool owned)
        : m_lockFile(lockFile)
        , m_owned(owned)
    {
    }
    ~NamedMutex() override
    {
        if (m_lockFile >= 0) {
            close(m_lockFile);  // drops the flock with it
        }
    }

    bool Release()
    {
        if (!m_owned) {
            return false;
        }
        m_owned = false;
        return true;
    }

private:
    int m_lockFile;
    bool m_owned;
};

// The lock file of a mutex name; characters that cannot stand in a file name are escaped.
std::string LockPath(const std::string& name)
{
    std::string path = RuntimeFolder() + "/qmv-mutex-";
    static const char kHex[] = "0123456789abcdef";
    for (unsigned char c : name) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.') {
            path += static_cast<char>(c);
        } else {
            path += '%';
            path += kHex[c >> 4];
            path += kHex[c & 15];
        }
    }
    return path;
}

// Opens the name's lock file and tries its lock: the descriptor (or -1 with the
// last error set) and whether the lock was had.
int OpenLock(const std::string& name, bool& locked)
{
    const int fd = open(LockPath(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        SetLastError(ErrorFromErrno(errno));
        locked = false;
        return -1;
    }
    locked = flock(fd, LOCK_EX | LOCK_NB) == 0;
    return fd;
}

}  // namespace
}  // namespace platform

HANDLE CreateMutexA(SECURITY_ATTRIBUTES*, BOOL initialOwner, LPCSTR name)
{
    if (name == nullptr || name[0] == '\0') {
        SetLastError(ERROR_SUCCESS);
        return platform::OpenKernelHandle(new platform::NamedMutex(-1, initialOwner != FALSE));
    }
    bool locked = false;
    const int fd = platform::OpenLock(name, locked);
    if (fd < 0) {
        return nullptr;
    }
    if (!locked) {
        close(fd);
        SetLastError(ERROR_ALREADY_EXISTS);
        return platform::OpenKernelHandle(new platform::NamedMutex(-1, false));
    }
    SetLastError(ERROR_SUCCESS);
    return platform::OpenKernelHandle(new platform::NamedMutex(fd, initialOwner != FALSE));
}

HANDLE OpenMutexA(DWORD, BOOL, LPCSTR name)
{
    if (name == nullptr || name[0] == '\0') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    bool locked = false;
    const int fd = platform::OpenLock(name, locked);
    if (fd < 0) {
        return nullptr;
    }
    close(fd);  // a lock had here is dropped with the descriptor
    if (locked) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    return platform::OpenKernelHandle(new platform::NamedMutex(-1, false));
}

BOOL ReleaseMutex(HANDLE mutex)
{
    auto* named = platform::KernelObjectAs<platform::NamedMutex>(mutex);
    if (named == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!named->Release()) {
        SetLastError(ERROR_NOT_OWNER);
        return FALSE;
    }
    return TRUE;
}
