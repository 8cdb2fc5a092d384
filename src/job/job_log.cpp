#include "job/job_log.h"

#include <cstdio>

bool DebugMode = false;

namespace {

char TimeSeparator = ':';

}  // namespace

void ReadTimeSeparator()
{
    char separator[8] = {};
    int length = GetLocaleInfoA(GetSystemDefaultLCID(), LOCALE_STIME, separator, sizeof separator);
    TimeSeparator = TimeSeparatorOf(separator, length);
}

char TimeSeparatorOf(const char* answer, int length)
{
    // A one-character separator and its terminator.
    return length == 2 ? answer[0] : ':';
}

std::string FormatTimeStamp(const SYSTEMTIME& time, char separator)
{
    int hour12 = time.wHour % 12 == 0 ? 12 : time.wHour % 12;
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%02u.%02u.%02u %02d%c%02u%c%02u %s",
                  unsigned(time.wMonth % 100), unsigned(time.wDay % 100),
                  unsigned(time.wYear % 100), hour12, separator, unsigned(time.wMinute % 100),
                  separator, unsigned(time.wSecond % 100), time.wHour < 12 ? "AM" : "PM");
    return stamp;
}

void debug(ILogConsole& console, std::string_view message)
{
    if (!DebugMode)
        return;
    SYSTEMTIME now;
    GetLocalTime(&now);
    std::string line = FormatTimeStamp(now, TimeSeparator);
    line += ' ';
    line += message.substr(0, 255);
    line += "\r\n";
    console.Write(line);
    console.RepaintNow();
}
