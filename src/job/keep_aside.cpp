#include "job/keep_aside.h"

#include <cstdio>

#include <windows.h>

namespace {

// Where the extension starts, or npos when the file name has none.
std::size_t ExtensionAt(const std::string& name)
{
    std::size_t at = name.find_last_of(".\\/:");
    return at != std::string::npos && name[at] == '.' ? at : std::string::npos;
}

}  // namespace

std::string WithExtension(const std::string& name, const char* extension)
{
    return name.substr(0, ExtensionAt(name)) + extension;
}

std::string KeepAside(const std::string& name)
{
    std::size_t at = ExtensionAt(name);
    std::string base = name.substr(0, at);
    std::string extension = at == std::string::npos ? "" : name.substr(at);
    SYSTEMTIME now;
    GetLocalTime(&now);
    for (int serial = 0;; ++serial) {
        char stamp[48];
        std::snprintf(stamp, sizeof stamp, "-kept-%04u%02u%02u-%02u%02u%02u-%03u-%d", now.wYear,
                      now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds,
                      serial);
        std::string kept = base + stamp + extension;
        // Never replaces a file; the new name is on the disk when it returns.
        if (MoveFileExA(name.c_str(), kept.c_str(), MOVEFILE_WRITE_THROUGH))
            return kept;
        if (GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_FILE_EXISTS)
            return {};
    }
}
