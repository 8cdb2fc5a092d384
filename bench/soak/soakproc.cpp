// soakproc probe | kill [WHEN_GONE]: finds the running TAVON.EXE. probe prints
// "PID WORKING_SET_BYTES PAGEFILE_BYTES HANDLES"; kill ends it (TerminateProcess) and
// returns when it is gone; given a file, it says "armed" and kills the moment that file
// is gone (the page image the merge deletes). Exit code 1 when no TAVON.EXE runs.
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

DWORD FindTavon()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    DWORD found = 0;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (lstrcmpiA(entry.szExeFile, "TAVON.EXE") == 0) {
            found = entry.th32ProcessID;
            break;
        }
    }
    CloseHandle(snapshot);
    return found;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2 && !(argc == 3 && std::strcmp(argv[1], "kill") == 0))
        return 2;
    DWORD pid = FindTavon();
    if (!pid)
        return 1;
    if (std::strcmp(argv[1], "kill") == 0) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
        if (!process)
            return 3;
        if (argc == 3) {
            std::puts("armed");
            std::fflush(stdout);
            while (GetFileAttributesA(argv[2]) != INVALID_FILE_ATTRIBUTES)
                Sleep(0);
        }
        if (!TerminateProcess(process, 9))
            return 3;
        WaitForSingleObject(process, INFINITE);
        CloseHandle(process);
        std::printf("%lu\n", static_cast<unsigned long>(pid));
        return 0;
    }
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (!process)
        return 3;
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    DWORD handles = 0;
    BOOL ok = GetProcessMemoryInfo(process, &memory, sizeof memory) &&
              GetProcessHandleCount(process, &handles);
    CloseHandle(process);
    if (!ok)
        return 3;
    std::printf("%lu %llu %llu %lu\n", static_cast<unsigned long>(pid),
                static_cast<unsigned long long>(memory.WorkingSetSize),
                static_cast<unsigned long long>(memory.PagefileUsage),
                static_cast<unsigned long>(handles));
    return 0;
}
