// soakproc probe | kill: finds the running TAVON.EXE. probe prints
// "PID WORKING_SET_BYTES PAGEFILE_BYTES HANDLES"; kill ends it (TerminateProcess) and
// returns when it is gone. Exit code 1 when no TAVON.EXE runs.
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <winternl.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

DWORD FindTavon()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    DWORD found = 0;
    for (BOOL more = Process32First(snapshot, &entry); more;
         more = Process32Next(snapshot, &entry)) {
        if (lstrcmpiA(entry.szExeFile, "TAVON.EXE") == 0) {
            found = entry.th32ProcessID;
            break;
        }
    }
    CloseHandle(snapshot);
    return found;
}

// The process's open handles as the system's handle table lists them (Wine answers
// GetProcessHandleCount with 0); 0 when the table cannot be read.
ULONG CountHandles(DWORD pid)
{
    constexpr SYSTEM_INFORMATION_CLASS kSystemHandleInformation =
        static_cast<SYSTEM_INFORMATION_CLASS>(16);
    struct Entry {
        ULONG ownerPid;
        BYTE objectType;
        BYTE flags;
        USHORT value;
        PVOID object;
        ACCESS_MASK access;
    };
    std::vector<unsigned char> buffer(1 << 20);
    for (int tries = 0; tries < 8; ++tries) {
        ULONG needed = 0;
        NTSTATUS status = NtQuerySystemInformation(kSystemHandleInformation, buffer.data(),
                                                   static_cast<ULONG>(buffer.size()), &needed);
        if (status == static_cast<NTSTATUS>(0xC0000004L)) {  // STATUS_INFO_LENGTH_MISMATCH
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (status < 0)
            return 0;
        ULONG count = 0;
        std::memcpy(&count, buffer.data(), sizeof count);
        std::size_t room = (buffer.size() - sizeof(ULONG_PTR)) / sizeof(Entry);
        auto* entries = reinterpret_cast<const Entry*>(buffer.data() + sizeof(ULONG_PTR));
        ULONG mine = 0;
        for (ULONG i = 0; i < count && i < room; ++i)
            if (entries[i].ownerPid == pid)
                ++mine;
        return mine;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    DWORD pid = FindTavon();
    if (!pid)
        return 1;
    if (std::strcmp(argv[1], "kill") == 0) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
        if (!process)
            return 3;
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
    if (ok && handles == 0)
        handles = CountHandles(pid);
    CloseHandle(process);
    if (!ok)
        return 3;
    std::printf("%lu %llu %llu %lu\n", static_cast<unsigned long>(pid),
                static_cast<unsigned long long>(memory.WorkingSetSize),
                static_cast<unsigned long long>(memory.PagefileUsage),
                static_cast<unsigned long>(handles));
    return 0;
}
