#pragma once
// The job log: one time-stamped line per step of a print job, shown in the console
// pane, and only in debug mode.
#include <string>
#include <string_view>

#include <windows.h>

// Off at window creation, set once by the main window's first timer tick.
extern bool DebugMode;

// Where log lines go: the console pane of the main window.
class ILogConsole {
public:
    virtual ~ILogConsole() = default;
    virtual void Write(std::string_view text) = 0;
    virtual void RepaintNow() = 0;
};

// Reads the system locale's time separator, which every log line then uses; called once
// at program start (":" until then).
void ReadTimeSeparator();

// The separator a GetLocaleInfoA answer of that length (its terminator counted) gives:
// its one character, else ":".
char TimeSeparatorOf(const char* answer, int length);

// "MM.DD.YY HH:MM:SS AM" (20 characters) with that time separator.
std::string FormatTimeStamp(const SYSTEMTIME& time, char separator);

// Writes "<time stamp> <message>\r\n" to the console and paints it at once; a message
// longer than 255 characters is cut. Nothing at all happens with debug mode off.
void debug(ILogConsole& console, std::string_view message);
