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

// Reads the system locale's time separator; called once at program start.
void ReadTimeSeparator();

// "MM.DD.YY HH:MM:SS AM" (20 characters) with the time separator read at start (":" by default).
std::string FormatTimeStamp(const SYSTEMTIME& time);

// Writes "<time stamp> <message>\r\n" to the console and paints it at once; a message
// longer than 255 characters is cut. Nothing at all happens with debug mode off.
void debug(ILogConsole& console, std::string_view message);

// Seam for tests: the separator ReadTimeSeparator found.
extern char TimeSeparator;
