#pragma once
// Starting another program of the fax product.
#include <string>

#include <windows.h>

// A program's full file name as the start of a command line: in quotes, so that a
// name with blanks ("C:\Program Files\...") is not taken for a shorter one first.
inline std::string QuotedProgram(const std::string& path) { return "\"" + path + "\""; }

// The pause before a start that failed is tried once more.
constexpr DWORD kRestartPauseMs = 500;

// WinExec, tried once more after pauseMs when it fails: under load a new process can die
// in the loader before any of its code runs, which leaves nothing behind. True once the
// program runs.
bool StartProgram(const std::string& commandLine, UINT show, DWORD pauseMs = kRestartPauseMs);
