// soakslow: a scheduler at work on its image for a while, put in QUEUEMGR.EXE's place
// during a soak. C:\SOAK\slow.txt holds how many milliseconds it works and the image's
// path, one a line. At its start it opens the image and holds it open for that long, as a
// scheduler reading it does; then, still holding it, it runs the scheduler set aside
// beside it (QUEUEMGR-ASIDE.EXE, which finds its outbox there) to take the image, and lets
// go. Its exit code is the scheduler's. Appends "start" and "end" lines to
// C:\SOAK\slow.log, so the soak knows when no slow start is left.
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

struct Work {
    DWORD ms = 0;
    std::string image;
};

Work ReadWork()
{
    Work work;
    char line[MAX_PATH + 2] = {};
    if (FILE* file = std::fopen("C:\\SOAK\\slow.txt", "rb")) {
        if (std::fgets(line, sizeof line, file))
            work.ms = std::strtoul(line, nullptr, 10);
        if (std::fgets(line, sizeof line, file)) {
            work.image = line;
            work.image.erase(work.image.find_last_not_of("\r\n") + 1);
        }
        std::fclose(file);
    }
    return work;
}

DWORD RunScheduler()
{
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
    return code;
}

}  // namespace

int main()
{
    Log("start");
    Work work = ReadWork();
    // Shared for reading and deleting, so that the scheduler can take it meanwhile; the
    // program, which opens it alone, sees it in use.
    HANDLE image =
        CreateFileA(work.image.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    Sleep(work.ms);
    DWORD code = RunScheduler();
    if (image != INVALID_HANDLE_VALUE)
        CloseHandle(image);
    Log("end");
    return static_cast<int>(code);
}
