#include "job/job_log.h"

#include <cstdio>

bool DebugMode = false;
char TimeSeparator = ':';

void ReadTimeSeparator()
{
    char separator[8] = {};
    int length = GetLocaleInfoA(GetSystemDefaultLCID(), LOCALE_STIME, separator, sizeof separator);
    // length counts the terminator: a one-character separator gives 2.
    TimeSeparator = length == 2 ? separator[0] : ':';
}

std::string FormatTimeStamp(const SYSTEMTIME& time)
{
    int hour12 = time.wHour % 12 == 0 ? 12 : time.wHour % 12;
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%02u.%02u.%02u %02d%c%02u%c%02u %s",
                  unsigned(time.wMonth % 100), unsigned(time.wDay % 100),
                  unsigned(time.wYear % 100), hour12, TimeSeparator, unsigned(time.wMinute % 100),
                  TimeSeparator, unsigned(time.wSecond % 100), time.wHour < 12 ? "AM" : "PM");
    return stamp;
}

void debug(ILogConsole& console, std::string_view message)
{
    if (!DebugMode)
        return;
    SYSTEMTIME now;
    GetLocalTime(&now);
    std::string line = FormatTimeStamp(now);
    line += ' ';
    line += message.substr(0, 255);
    line += "\r\n";
    console.Write(line);
    console.RepaintNow();
}
