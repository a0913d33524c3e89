// The calling thread's last error code, as the Windows functions leave it.
#pragma once

#include "platform/win32/WinTypes.h"

#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_NO_MORE_FILES 18L
#define ERROR_WRITE_FAULT 29L
#define ERROR_READ_FAULT 30L
#define ERROR_FILE_EXISTS 80L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_MOD_NOT_FOUND 126L
#define ERROR_PROC_NOT_FOUND 127L
#define ERROR_DIR_NOT_EMPTY 145L
#define ERROR_ALREADY_EXISTS 183L
#define ERROR_MORE_DATA 234L
#define ERROR_NO_MORE_ITEMS 259L
#define ERROR_NO_UNICODE_TRANSLATION 1113L
#define ERROR_CLIPBOARD_NOT_OPEN 1418L

DWORD GetLastError();
void SetLastError(DWORD code);

namespace platform {

// The Windows error code closest to a POSIX errno value.
DWORD ErrorFromErrno(int err);

}  // namespace platform
