#include "base/program_start.h"

bool StartProgram(const std::string& commandLine, UINT show, DWORD pauseMs)
{
    if (WinExec(commandLine.c_str(), show) >= 32)
        return true;
    Sleep(pauseMs);
    return WinExec(commandLine.c_str(), show) >= 32;
}
