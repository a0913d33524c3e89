// File and folder functions over POSIX. Every path accepts "\" as well as "/"
// as separator. The wide (W) forms take UTF-16; the narrow (A) forms take
// their bytes as they are: file names on Linux are bytes, UTF-8 by convention.
// Sharing modes are accepted and ignored (Linux does not lock files on open).
#pragma once

#include "platform/win32/WinKernelObject.h"
#include "platform/win32/WinTypes.h"

#include <string>

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u

#define FILE_SHARE_READ 0x00000001
#define FILE_SHARE_WRITE 0x00000002
#define FILE_SHARE_DELETE 0x00000004

#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define TRUNCATE_EXISTING 5

#define FILE_ATTRIBUTE_READONLY 0x00000001
#define FILE_ATTRIBUTE_HIDDEN 0x00000002
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020
#define FILE_ATTRIBUTE_NORMAL 0x00000080
// A symbolic link (the entry describes the link's target otherwise).
#define FILE_ATTRIBUTE_REPARSE_POINT 0x00000400
#define FILE_FLAG_BACKUP_SEMANTICS 0x02000000
#define INVALID_FILE_ATTRIBUTES (static_cast<DWORD>(-1))
#define INVALID_FILE_SIZE (static_cast<DWORD>(0xFFFFFFFF))
#define INVALID_SET_FILE_POINTER (static_cast<DWORD>(-1))

#define FILE_BEGIN 0
#define FILE_CURRENT 1
#define FILE_END 2

#define MOVEFILE_REPLACE_EXISTING 0x00000001
#define MOVEFILE_WRITE_THROUGH 0x00000008

#define OF_EXIST 0x00004000
#define OFS_MAXPATHNAME 128
#define HFILE_ERROR (-1)

using HFILE = int;
struct OVERLAPPED;
using LPOVERLAPPED = OVERLAPPED*;

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

struct WIN32_FIND_DATAW {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    WCHAR cFileName[MAX_PATH];
    WCHAR cAlternateFileName[14];
};
using LPWIN32_FIND_DATAW = WIN32_FIND_DATAW*;

struct OFSTRUCT {
    BYTE cBytes;
    BYTE fFixedDisk;
    WORD nErrCode;
    WORD Reserved1;
    WORD Reserved2;
    CHAR szPathName[OFS_MAXPATHNAME];
};

HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                   DWORD flags, HANDLE templateFile);
HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                   DWORD flags, HANDLE templateFile);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD done, LPOVERLAPPED overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD count, LPDWORD done, LPOVERLAPPED overlapped);
DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh);
DWORD SetFilePointer(HANDLE file, LONG distance, LPLONG distanceHigh, DWORD method);
BOOL FlushFileBuffers(HANDLE file);

BOOL DeleteFileW(LPCWSTR path);
BOOL DeleteFileA(LPCSTR path);
// Renames in one step; with MOVEFILE_REPLACE_EXISTING an existing target is
// replaced atomically, and with MOVEFILE_WRITE_THROUGH the folder is synced.
BOOL MoveFileExW(LPCWSTR from, LPCWSTR to, DWORD flags);
BOOL MoveFileExA(LPCSTR from, LPCSTR to, DWORD flags);
DWORD GetFileAttributesW(LPCWSTR path);
DWORD GetFileAttributesA(LPCSTR path);
BOOL CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES security);
BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES security);
BOOL RemoveDirectoryW(LPCWSTR path);
BOOL RemoveDirectoryA(LPCSTR path);

// Lists the folder part of the pattern; the name part may hold "*" and "?"
// and matches without regard to ASCII case ("*.*" matches every name, as "*").
// The listing includes "." and ".." and is sorted by name.
HANDLE FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW data);
BOOL FindNextFileW(HANDLE search, LPWIN32_FIND_DATAW data);
BOOL FindClose(HANDLE search);

// Only the existence test (OF_EXIST) is offered: a regular file that exists
// answers a value other than HFILE_ERROR; a folder does not count.
HFILE OpenFile(LPCSTR path, OFSTRUCT* info, UINT style);

DWORD GetCurrentDirectoryW(DWORD size, LPWSTR buffer);
// The program's own file (/proc/self/exe) for a null module.
DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size);
DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size);

namespace platform {

// A path with every "\" turned into "/".
std::string NativePath(const std::string& path);

}  // namespace platform
