/* A printer-pipe library built the way the fax product's vendor builds one: plain C, its
   own export list with the plain names, no code of ours. It serves no pipe; it writes
   each call and its arguments to PRNPIPE.LOG beside itself, so that a test sees what a
   program bound to it called. */
#include <windows.h>

#include <stdio.h>

static char LogPath[MAX_PATH + 16];

static void Record(const char* line)
{
    HANDLE log = CreateFileA(LogPath, FILE_APPEND_DATA, FILE_SHARE_READ, NULL, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, NULL);
    DWORD written;
    if (log == INVALID_HANDLE_VALUE)
        return;
    WriteFile(log, line, (DWORD)lstrlenA(line), &written, NULL);
    CloseHandle(log);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        DWORD length = GetModuleFileNameA(instance, LogPath, MAX_PATH);
        char* slash = strrchr(LogPath, '\\');
        if (length == 0 || length >= MAX_PATH || !slash)
            return FALSE;
        lstrcpyA(slash + 1, "PRNPIPE.LOG");
    }
    return TRUE;
}

BOOL WINAPI WaitForPrnPipe(HWND window, UINT message)
{
    char className[64] = "";
    char line[160];
    GetClassNameA(window, className, sizeof className);
    snprintf(line, sizeof line, "WaitForPrnPipe window=%p class=%s message=%u\r\n",
             (void*)window, className, message);
    Record(line);
    return TRUE;
}

BOOL WINAPI EndWaitPrnPipe(void)
{
    Record("EndWaitPrnPipe\r\n");
    return TRUE;
}
