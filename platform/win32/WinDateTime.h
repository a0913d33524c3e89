// The system clock as calendar time, and the date and time pictures
// ("yyyy'-'MM'-'dd", "HH'-'mm'-'ss") that format it. Names of days and
// months are English whatever the locale.
#pragma once

#include "platform/win32/WinTypes.h"

using LCID = DWORD;

#define LOCALE_SYSTEM_DEFAULT 0x0800
#define LOCALE_USER_DEFAULT 0x0400

struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};

// The current time in UTC.
void GetSystemTime(SYSTEMTIME* time);

// Picture letters: d dd ddd dddd, M MM MMM MMMM, y yy yyyy (date); h hh H HH
// m mm s ss t tt (time); text in single quotes is copied ('' is one quote).
// A null time means now; a null picture gives the ISO form. Answers the
// characters written including the terminating zero (or needed, for a size
// of 0); 0 with ERROR_INSUFFICIENT_BUFFER when the buffer is too small.
int GetDateFormatA(LCID locale, DWORD flags, const SYSTEMTIME* time, LPCSTR picture, LPSTR buffer, int size);
int GetTimeFormatA(LCID locale, DWORD flags, const SYSTEMTIME* time, LPCSTR picture, LPSTR buffer, int size);
