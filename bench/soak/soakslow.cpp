// soakslow: a scheduler still at work, put in QUEUEMGR.EXE's place during a soak. Waits
// the milliseconds that C:\SOAK\slow.txt holds, then runs the scheduler set aside beside
// it (QUEUEMGR-ASIDE.EXE, which finds its outbox there) to its end and returns its exit
// code. Appends "start" and "end" lines to C:\SOAK\slow.log, so the soak knows when no
// slow start is left.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/module_path.h"

namespace {

void Log(const char* word)
{
    if (FILE* log = std::fopen("C:\\SOAK\\slow.log", "ab")) {
        std::fprintf(log, "%s\r\n", word);
        std::fclose(log);
    }
}

DWORD DelayMs()
{
    char text[32] = {};
    if (FILE* file = std::fopen("C:\\SOAK\\slow.txt", "rb")) {
        std::fread(text, 1, sizeof text - 1, file);
        std::fclose(file);
    }
    return std::strtoul(text, nullptr, 10);
}

}  // namespace

int main()
{
    Log("start");
    Sleep(DelayMs());
    std::string scheduler = ModuleDirectory() + "QUEUEMGR-ASIDE.EXE";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    DWORD code = 1;
    if (CreateProcessA(scheduler.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &process)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    Log("end");
    return static_cast<int>(code);
}
