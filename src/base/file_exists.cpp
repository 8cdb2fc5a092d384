#include "base/file_exists.h"

#include <windows.h>

bool FileExistsNamed(const std::string& name)
{
    if (name.find_first_of("?*") != std::string::npos)
        return false;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA(name.c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    FindClose(find);
    return !(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}
