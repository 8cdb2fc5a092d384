#include "base/system_directory.h"

#include <windows.h>

std::wstring SystemDirectoryOnDisk()
{
    wchar_t path[MAX_PATH + 1] = {};
    BOOL wow64 = FALSE;
    UINT length = IsWow64Process(GetCurrentProcess(), &wow64) && wow64
                      ? GetSystemWow64DirectoryW(path, MAX_PATH)
                      : GetSystemDirectoryW(path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(path, length) : std::wstring();
}
