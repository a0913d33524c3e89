#include "platform/win32/WinDateTime.h"

#include "platform/win32/WinLastError.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

namespace {

const char* const kDays[7] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
const char* const kMonths[12] = {"January", "February", "March",     "April",   "May",      "June",
                                 "July",    "August",   "September", "October", "November", "December"};

std::string Number(int value, int width)
{
    char text[16];
    std::snprintf(text, sizeof text, "%0*d", width, value);
    return text;
}

// Expands one run of a picture letter; false for letters this kind of picture does not know.
bool ExpandDate(char letter, int count, const SYSTEMTIME& time, std::string& out)
{
    switch (letter) {
    case 'd':
        if (count >= 4) {
            out += kDays[time.wDayOfWeek % 7];
        } else if (count == 3) {
            out += std::string(kDays[time.wDayOfWeek % 7]).substr(0, 3);
        } else {
            out += Number(time.wDay, count);
        }
        return true;
    case 'M':
        if (time.wMonth < 1 || time.wMonth > 12) {
            return false;
        }
        if (count >= 4) {
            out += kMonths[time.wMonth - 1];
        } else if (count == 3) {
            out += std::string(kMonths[time.wMonth - 1]).substr(0, 3);
        } else {
            out += Number(time.wMonth, count);
        }
        return true;
    case 'y':
        out += count <= 2 ? Number(time.wYear % 100, count) : Number(time.wYear, 4);
        return true;
    default:
        return false;
    }
}

bool ExpandTime(char letter, int count, const SYSTEMTIME& time, std::string& out)
{
    int width = count >= 2 ? 2 : 1;
    switch (letter) {
    case 'H':
        out += Number(time.wHour, width);
        return true;
    case 'h':
        out += Number(time.wHour % 12 == 0 ? 12 : time.wHour % 12, width);
        return true;
    case 'm':
        out += Number(time.wMinute, width);
        return true;
    case 's':
        out += Number(time.wSecond, width);
        return true;
    case 't':
        out += count >= 2 ? (time.wHour < 12 ? "AM" : "PM") : (time.wHour < 12 ? "A" : "P");
        return true;
    default:
        return false;
    }
}

using Expander = bool (*)(char, int, const SYSTEMTIME&, std::string&);

int Format(const SYSTEMTIME* given, LPCSTR picture, LPSTR buffer, int size, const char* fallback, Expander expand)
{
    if (size < 0 || (size > 0 && buffer == nullptr)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    SYSTEMTIME now{};
    if (given == nullptr) {
        GetSystemTime(&now);
    }
    const SYSTEMTIME& time = given != nullptr ? *given : now;
    std::string text = picture != nullptr ? picture : fallback;
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        char c = text[i];
        if (c == '\'') {
            ++i;
            while (i < text.size()) {
                if (text[i] == '\'' && i + 1 < text.size() && text[i + 1] == '\'') {
                    out.push_back('\'');
                    i += 2;
                } else if (text[i] == '\'') {
                    ++i;
                    break;
                } else {
                    out.push_back(text[i++]);
                }
            }
            continue;
        }
        std::size_t run = i;
        while (run < text.size() && text[run] == c) {
            ++run;
        }
        std::string piece;
        if (expand(c, static_cast<int>(run - i), time, piece)) {
            out += piece;
        } else {
            out.append(text, i, run - i);
        }
        i = run;
    }
    int needed = static_cast<int>(out.size()) + 1;
    if (size == 0) {
        return needed;
    }
    if (needed > size) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(buffer, out.c_str(), out.size() + 1);
    return needed;
}

}  // namespace

void GetSystemTime(SYSTEMTIME* time)
{
    if (time == nullptr) {
        return;
    }
    auto now = std::chrono::system_clock::now();
    auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
    std::time_t seconds = static_cast<std::time_t>(milliseconds / 1000);
    std::tm utc{};
    ::gmtime_r(&seconds, &utc);
    time->wYear = static_cast<WORD>(utc.tm_year + 1900);
    time->wMonth = static_cast<WORD>(utc.tm_mon + 1);
    time->wDayOfWeek = static_cast<WORD>(utc.tm_wday);
    time->wDay = static_cast<WORD>(utc.tm_mday);
    time->wHour = static_cast<WORD>(utc.tm_hour);
    time->wMinute = static_cast<WORD>(utc.tm_min);
    time->wSecond = static_cast<WORD>(utc.tm_sec);
    time->wMilliseconds = static_cast<WORD>(milliseconds % 1000);
}

int GetDateFormatA(LCID, DWORD, const SYSTEMTIME* time, LPCSTR picture, LPSTR buffer, int size)
{
    return Format(time, picture, buffer, size, "yyyy-MM-dd", ExpandDate);
}

int GetTimeFormatA(LCID, DWORD, const SYSTEMTIME* time, LPCSTR picture, LPSTR buffer, int size)
{
    return Format(time, picture, buffer, size, "HH:mm:ss", ExpandTime);
}
