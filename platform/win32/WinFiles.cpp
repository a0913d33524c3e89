#include "platform/win32/WinFiles.h"

#include "platform/win32/AsciiCase.h"
#include "platform/win32/AtomicFile.h"
#include "platform/win32/WinLastError.h"
#include "platform/win32/WinText.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

class FileObject : public platform::KernelObject {
public:
    explicit FileObject(int fd) : m_fd(fd) {}
    ~FileObject() override { ::close(m_fd); }
    int Fd() const { return m_fd; }

private:
    int m_fd;
};

class FindSearch : public platform::KernelObject {
public:
    std::string m_folder;
    std::vector<std::string> m_names;
    std::size_t m_next = 0;
};

BOOL Fail(DWORD code)
{
    SetLastError(code);
    return FALSE;
}

BOOL FailErrno()
{
    return Fail(platform::ErrorFromErrno(errno));
}

std::string Narrow(LPCWSTR path)
{
    return platform::NativePath(platform::WideToUtf8(path));
}

std::string Narrow(LPCSTR path)
{
    return platform::NativePath(path != nullptr ? path : "");
}

FILETIME ToFileTime(const struct timespec& time)
{
    // 100-nanosecond steps since 1601-01-01.
    constexpr std::uint64_t kEpochDifference = 11644473600ull;
    std::uint64_t ticks = (static_cast<std::uint64_t>(time.tv_sec) + kEpochDifference) * 10000000ull
                          + static_cast<std::uint64_t>(time.tv_nsec) / 100;
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

DWORD AttributesOf(const std::string& path, const struct stat& info)
{
    DWORD attributes = 0;
    if (S_ISDIR(info.st_mode)) {
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    }
    if (::access(path.c_str(), W_OK) != 0) {
        attributes |= FILE_ATTRIBUTE_READONLY;
    }
    return attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
}

HANDLE OpenPath(const std::string& path, DWORD access, DWORD disposition, DWORD flags)
{
    if (path.empty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    struct stat info{};
    bool exists = ::stat(path.c_str(), &info) == 0;
    if (exists && S_ISDIR(info.st_mode)) {
        if ((flags & FILE_FLAG_BACKUP_SEMANTICS) == 0 || (access & GENERIC_WRITE) != 0) {
            SetLastError(ERROR_ACCESS_DENIED);
            return INVALID_HANDLE_VALUE;
        }
        int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            FailErrno();
            return INVALID_HANDLE_VALUE;
        }
        return platform::OpenKernelHandle(new FileObject(fd));
    }
    int mode = O_CLOEXEC;
    bool read = (access & GENERIC_READ) != 0;
    bool write = (access & GENERIC_WRITE) != 0;
    if (read && write) {
        mode |= O_RDWR;
    } else if (write) {
        mode |= O_WRONLY;
    } else if (read) {
        mode |= O_RDONLY;
    } else {
        mode |= O_PATH;  // no access asked: the handle only proves the file is there
    }
    switch (disposition) {
    case CREATE_NEW:
        mode |= O_CREAT | O_EXCL;
        break;
    case CREATE_ALWAYS:
        mode |= O_CREAT | O_TRUNC;
        break;
    case OPEN_EXISTING:
        break;
    case OPEN_ALWAYS:
        mode |= O_CREAT;
        break;
    case TRUNCATE_EXISTING:
        if (!write) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return INVALID_HANDLE_VALUE;
        }
        mode |= O_TRUNC;
        break;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    if ((mode & O_CREAT) != 0 && (mode & O_PATH) != 0) {
        mode = (mode & ~O_PATH) | O_RDONLY;
    }
    int fd = ::open(path.c_str(), mode, 0644);
    if (fd < 0) {
        DWORD code = errno == EEXIST ? ERROR_FILE_EXISTS : platform::ErrorFromErrno(errno);
        SetLastError(code);
        return INVALID_HANDLE_VALUE;
    }
    bool reopened = exists && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS);
    HANDLE handle = platform::OpenKernelHandle(new FileObject(fd));
    SetLastError(reopened ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

FileObject* FileOf(HANDLE handle)
{
    FileObject* file = platform::KernelObjectAs<FileObject>(handle);
    if (file == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
    }
    return file;
}

BOOL Move(const std::string& from, const std::string& to, DWORD flags)
{
    if (from.empty() || to.empty()) {
        return Fail(ERROR_PATH_NOT_FOUND);
    }
    if ((flags & MOVEFILE_REPLACE_EXISTING) == 0) {
        // renameat2's no-replace flag keeps the check and the rename one step.
        if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0) {
            return errno == EEXIST ? Fail(ERROR_ALREADY_EXISTS) : FailErrno();
        }
    } else if (::rename(from.c_str(), to.c_str()) != 0) {
        return FailErrno();
    }
    if ((flags & MOVEFILE_WRITE_THROUGH) != 0) {
        platform::SyncFolderOf(to);
    }
    return TRUE;
}

DWORD Attributes(const std::string& path)
{
    struct stat info{};
    if (path.empty() || ::stat(path.c_str(), &info) != 0) {
        SetLastError(path.empty() ? ERROR_PATH_NOT_FOUND : platform::ErrorFromErrno(errno));
        return INVALID_FILE_ATTRIBUTES;
    }
    return AttributesOf(path, info);
}

BOOL MakeDirectory(const std::string& path)
{
    if (path.empty()) {
        return Fail(ERROR_PATH_NOT_FOUND);
    }
    if (::mkdir(path.c_str(), 0755) != 0) {
        return FailErrno();
    }
    return TRUE;
}

BOOL RemoveDirectoryPath(const std::string& path)
{
    if (path.empty()) {
        return Fail(ERROR_PATH_NOT_FOUND);
    }
    if (::rmdir(path.c_str()) != 0) {
        return FailErrno();
    }
    return TRUE;
}

BOOL DeletePath(const std::string& path)
{
    struct stat info{};
    if (path.empty() || ::lstat(path.c_str(), &info) != 0) {
        return path.empty() ? Fail(ERROR_PATH_NOT_FOUND) : FailErrno();
    }
    if (S_ISDIR(info.st_mode)) {
        return Fail(ERROR_ACCESS_DENIED);  // folders go through RemoveDirectory
    }
    if (::unlink(path.c_str()) != 0) {
        return FailErrno();
    }
    return TRUE;
}

bool Matches(const char* pattern, const char* name)
{
    // Iterative wildcard match with one back-tracking point per "*".
    const char* star = nullptr;
    const char* resume = nullptr;
    while (*name != 0) {
        if (*pattern == '*') {
            star = pattern++;
            resume = name;
        } else if (*pattern == '?' || (*pattern != 0 && platform::AsciiLower(*pattern) == platform::AsciiLower(*name))) {
            ++pattern;
            ++name;
        } else if (star != nullptr) {
            pattern = star + 1;
            name = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == '*') {
        ++pattern;
    }
    return *pattern == 0;
}

bool FillFindData(const FindSearch& search, const std::string& name, LPWIN32_FIND_DATAW data)
{
    std::u16string wide = platform::Utf8ToWide(name);
    if (wide.size() >= MAX_PATH) {
        return false;
    }
    std::string full = search.m_folder + "/" + name;
    struct stat info{};
    if (::stat(full.c_str(), &info) != 0 && ::lstat(full.c_str(), &info) != 0) {
        return false;  // vanished meanwhile
    }
    std::memset(data, 0, sizeof *data);
    data->dwFileAttributes = AttributesOf(full, info);
    struct stat link{};
    if (::lstat(full.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        data->dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    }
    data->ftCreationTime = ToFileTime(info.st_ctim);
    data->ftLastAccessTime = ToFileTime(info.st_atim);
    data->ftLastWriteTime = ToFileTime(info.st_mtim);
    std::uint64_t size = S_ISDIR(info.st_mode) ? 0 : static_cast<std::uint64_t>(info.st_size);
    data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data->nFileSizeLow = static_cast<DWORD>(size);
    std::copy(wide.begin(), wide.end(), data->cFileName);
    return true;
}

// Hands out the next entry that can be described; false at the end.
bool Advance(FindSearch& search, LPWIN32_FIND_DATAW data)
{
    while (search.m_next < search.m_names.size()) {
        if (FillFindData(search, search.m_names[search.m_next++], data)) {
            return true;
        }
    }
    return false;
}

DWORD CopyOut(const std::u16string& text, LPWSTR buffer, DWORD size, bool truncate)
{
    if (buffer == nullptr || size == 0) {
        return truncate ? 0 : static_cast<DWORD>(text.size() + 1);
    }
    if (text.size() + 1 > size) {
        if (!truncate) {
            return static_cast<DWORD>(text.size() + 1);
        }
        std::copy(text.begin(), text.begin() + (size - 1), buffer);
        buffer[size - 1] = 0;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    std::copy(text.begin(), text.end(), buffer);
    buffer[text.size()] = 0;
    return static_cast<DWORD>(text.size());
}

std::string OwnFile()
{
    std::vector<char> path(PATH_MAX + 1);
    ssize_t length = ::readlink("/proc/self/exe", path.data(), PATH_MAX);
    return length > 0 ? std::string(path.data(), static_cast<std::size_t>(length)) : std::string();
}

}  // namespace

namespace platform {

std::string NativePath(const std::string& path)
{
    std::string result = path;
    std::replace(result.begin(), result.end(), '\\', '/');
    return result;
}

}  // namespace platform

HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD disposition, DWORD flags, HANDLE)
{
    return OpenPath(Narrow(path), access, disposition, flags);
}

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD disposition, DWORD flags, HANDLE)
{
    return OpenPath(Narrow(path), access, disposition, flags);
}

BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD count, LPDWORD done, LPOVERLAPPED)
{
    if (done != nullptr) {
        *done = 0;
    }
    FileObject* file = FileOf(handle);
    if (file == nullptr) {
        return FALSE;
    }
    auto* out = static_cast<char*>(buffer);
    DWORD total = 0;
    while (total < count) {
        ssize_t got = ::read(file->Fd(), out + total, count - total);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return Fail(ERROR_READ_FAULT);
        }
        if (got == 0) {
            break;  // end of file: success with fewer bytes
        }
        total += static_cast<DWORD>(got);
        if (done != nullptr) {
            *done = total;
        }
    }
    return TRUE;
}

BOOL WriteFile(HANDLE handle, LPCVOID buffer, DWORD count, LPDWORD done, LPOVERLAPPED)
{
    if (done != nullptr) {
        *done = 0;
    }
    FileObject* file = FileOf(handle);
    if (file == nullptr) {
        return FALSE;
    }
    const auto* in = static_cast<const char*>(buffer);
    DWORD total = 0;
    while (total < count) {
        ssize_t put = ::write(file->Fd(), in + total, count - total);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            return Fail(errno == ENOSPC ? ERROR_WRITE_FAULT : platform::ErrorFromErrno(errno));
        }
        total += static_cast<DWORD>(put);
        if (done != nullptr) {
            *done = total;
        }
    }
    return TRUE;
}

DWORD GetFileSize(HANDLE handle, LPDWORD sizeHigh)
{
    FileObject* file = FileOf(handle);
    struct stat info{};
    if (file == nullptr || ::fstat(file->Fd(), &info) != 0) {
        return INVALID_FILE_SIZE;
    }
    auto size = static_cast<std::uint64_t>(info.st_size);
    if (sizeHigh != nullptr) {
        *sizeHigh = static_cast<DWORD>(size >> 32);
    }
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(size);
}

DWORD SetFilePointer(HANDLE handle, LONG distance, LPLONG distanceHigh, DWORD method)
{
    FileObject* file = FileOf(handle);
    if (file == nullptr) {
        return INVALID_SET_FILE_POINTER;
    }
    std::int64_t offset = distance;
    if (distanceHigh != nullptr) {
        offset = static_cast<std::int64_t>((static_cast<std::uint64_t>(static_cast<DWORD>(*distanceHigh)) << 32)
                                           | static_cast<DWORD>(distance));
    }
    int whence = method == FILE_CURRENT ? SEEK_CUR : (method == FILE_END ? SEEK_END : SEEK_SET);
    off_t position = ::lseek(file->Fd(), static_cast<off_t>(offset), whence);
    if (position < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    auto where = static_cast<std::uint64_t>(position);
    if (distanceHigh != nullptr) {
        *distanceHigh = static_cast<LONG>(where >> 32);
    } else if (where > 0xFFFFFFFEull) {
        SetLastError(ERROR_INVALID_PARAMETER);  // the position does not fit 32 bits
        return INVALID_SET_FILE_POINTER;
    }
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(where);
}

BOOL FlushFileBuffers(HANDLE handle)
{
    FileObject* file = FileOf(handle);
    if (file == nullptr) {
        return FALSE;
    }
    return ::fsync(file->Fd()) == 0 ? TRUE : FailErrno();
}

BOOL DeleteFileW(LPCWSTR path)
{
    return DeletePath(Narrow(path));
}

BOOL DeleteFileA(LPCSTR path)
{
    return DeletePath(Narrow(path));
}

BOOL MoveFileExW(LPCWSTR from, LPCWSTR to, DWORD flags)
{
    return Move(Narrow(from), Narrow(to), flags);
}

BOOL MoveFileExA(LPCSTR from, LPCSTR to, DWORD flags)
{
    return Move(Narrow(from), Narrow(to), flags);
}

DWORD GetFileAttributesW(LPCWSTR path)
{
    return Attributes(Narrow(path));
}

DWORD GetFileAttributesA(LPCSTR path)
{
    return Attributes(Narrow(path));
}

BOOL CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES)
{
    return MakeDirectory(Narrow(path));
}

BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES)
{
    return MakeDirectory(Narrow(path));
}

BOOL RemoveDirectoryW(LPCWSTR path)
{
    return RemoveDirectoryPath(Narrow(path));
}

BOOL RemoveDirectoryA(LPCSTR path)
{
    return RemoveDirectoryPath(Narrow(path));
}

HANDLE FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW data)
{
    std::string path = Narrow(pattern);
    if (path.empty() || data == nullptr) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::size_t slash = path.find_last_of('/');
    std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    std::string namePattern = slash == std::string::npos ? path : path.substr(slash + 1);
    if (namePattern == "*.*") {
        namePattern = "*";
    }
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : platform::ErrorFromErrno(errno));
        return INVALID_HANDLE_VALUE;
    }
    auto* search = new FindSearch;
    search->m_folder = folder;
    while (dirent* entry = ::readdir(dir)) {
        if (Matches(namePattern.c_str(), entry->d_name)) {
            search->m_names.emplace_back(entry->d_name);
        }
    }
    ::closedir(dir);
    std::sort(search->m_names.begin(), search->m_names.end());
    if (!Advance(*search, data)) {
        delete search;
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    return platform::OpenKernelHandle(search);
}

BOOL FindNextFileW(HANDLE handle, LPWIN32_FIND_DATAW data)
{
    auto* search = platform::KernelObjectAs<FindSearch>(handle);
    if (search == nullptr || data == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    return Advance(*search, data) ? TRUE : Fail(ERROR_NO_MORE_FILES);
}

BOOL FindClose(HANDLE handle)
{
    if (platform::KernelObjectAs<FindSearch>(handle) == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    return CloseHandle(handle);
}

HFILE OpenFile(LPCSTR path, OFSTRUCT* info, UINT style)
{
    if (info != nullptr) {
        std::memset(info, 0, sizeof *info);
        info->cBytes = static_cast<BYTE>(sizeof *info);
    }
    if ((style & OF_EXIST) == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return HFILE_ERROR;
    }
    std::string native = Narrow(path);
    struct stat status{};
    DWORD code = ERROR_SUCCESS;
    if (native.empty()) {
        code = ERROR_PATH_NOT_FOUND;
    } else if (::stat(native.c_str(), &status) != 0) {
        code = platform::ErrorFromErrno(errno);
    } else if (S_ISDIR(status.st_mode)) {
        code = ERROR_ACCESS_DENIED;
    }
    if (code != ERROR_SUCCESS) {
        SetLastError(code);
        if (info != nullptr) {
            info->nErrCode = static_cast<WORD>(code);
        }
        return HFILE_ERROR;
    }
    if (info != nullptr) {
        std::strncpy(info->szPathName, native.c_str(), OFS_MAXPATHNAME - 1);
    }
    return 1;
}

DWORD GetCurrentDirectoryW(DWORD size, LPWSTR buffer)
{
    std::vector<char> path(PATH_MAX + 1);
    if (::getcwd(path.data(), path.size()) == nullptr) {
        SetLastError(platform::ErrorFromErrno(errno));
        return 0;
    }
    return CopyOut(platform::Utf8ToWide(path.data()), buffer, size, false);
}

DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size)
{
    std::string own = module == nullptr ? OwnFile() : std::string();
    if (own.empty()) {
        SetLastError(module == nullptr ? ERROR_FILE_NOT_FOUND : ERROR_MOD_NOT_FOUND);
        return 0;
    }
    return CopyOut(platform::Utf8ToWide(own), buffer, size, true);
}

DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size)
{
    std::string own = module == nullptr ? OwnFile() : std::string();
    if (own.empty() || buffer == nullptr || size == 0) {
        SetLastError(own.empty() ? ERROR_MOD_NOT_FOUND : ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (own.size() + 1 > size) {
        std::memcpy(buffer, own.data(), size - 1);
        buffer[size - 1] = 0;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    std::memcpy(buffer, own.c_str(), own.size() + 1);
    return static_cast<DWORD>(own.size());
}
