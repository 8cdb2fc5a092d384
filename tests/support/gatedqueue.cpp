// gatedqueue, put in place as QUEUEMGR.EXE: a scheduler held at its start while a file
// GATE lies beside it, then the vendor's scheduler QUEUEMGR-VENDOR.EXE beside it runs in
// its stead. It pumps no message, so the program that started it waits in WinExec: a
// test stops that program there, in the midst of the hand-off. It puts a file HELD beside
// it once it waits at the gate: a new process runs none of its code until its starter
// lets it go, and one whose starter was stopped before that never runs.
#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char self[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
    if (length == 0 || length == MAX_PATH)
        return 2;
    std::string folder(self, std::string(self).find_last_of('\\') + 1);
    // Told of every name change in the folder, set up before the first look.
    HANDLE change =
        FindFirstChangeNotificationA(folder.c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME);
    if (change == INVALID_HANDLE_VALUE)
        return 2;
    HANDLE held = CreateFileA((folder + "HELD").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (held == INVALID_HANDLE_VALUE)
        return 2;
    CloseHandle(held);
    while (GetFileAttributesA((folder + "GATE").c_str()) != INVALID_FILE_ATTRIBUTES) {
        WaitForSingleObject(change, INFINITE);
        FindNextChangeNotification(change);
    }
    FindCloseChangeNotification(change);
    std::string line = "\"" + folder + "QUEUEMGR-VENDOR.EXE\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return 2;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 2;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return static_cast<int>(code);
}
