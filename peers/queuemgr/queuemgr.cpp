// QUEUEMGR.EXE, the fax scheduler's stand-in: takes FAX.$$$ from the private
// directory into outbox\ beside itself under a name of its own, checks that it is a
// valid multi-page fax TIFF, and records each fax in outbox\queue.log.
#include <windows.h>

#include <cstdio>
#include <string>

#include "base/module_path.h"
#include "fax_check.h"
#include "product/settings_file.h"

namespace {

std::string PrivateDirectory()
{
    char windows[MAX_PATH + 1] = {};
    UINT length = GetWindowsDirectoryA(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    char value[1024] = {};
    GetPrivateProfileStringA(SettingsFile::Quilfa, SettingsFile::PrivateDir, "", value,
                             sizeof value,
                             (std::string(windows) + "\\" + SettingsFile::Name).c_str());
    return value;
}

std::string TimeText()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u", now.wYear, now.wMonth,
                  now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
    return text;
}

void Log(const std::string& outbox, const std::string& line)
{
    if (FILE* log = std::fopen((outbox + "queue.log").c_str(), "ab")) {
        std::fprintf(log, "%s %s\r\n", TimeText().c_str(), line.c_str());
        std::fclose(log);
    }
}

// Moves source into the outbox under a name no earlier fax has; empty when it failed.
std::string MoveIntoOutbox(const std::string& source, const std::string& outbox)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    for (int serial = 1; serial < 10000; ++serial) {
        char name[64];
        std::snprintf(name, sizeof name, "FAX-%04u%02u%02u-%02u%02u%02u-%04d.TIF", now.wYear,
                      now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, serial);
        std::string target = outbox + name;
        if (MoveFileA(source.c_str(), target.c_str()))  // never replaces a file
            return target;
        DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS)
            return {};
    }
    return {};
}

}  // namespace

int main()
{
    const std::string outbox = ModuleDirectory() + "outbox\\";
    CreateDirectoryA(outbox.c_str(), nullptr);
    Log(outbox, std::string("started: ") + GetCommandLineA());

    const std::string source = PrivateDirectory() + Scheduler::ImageName;
    std::string fax = MoveIntoOutbox(source, outbox);
    if (fax.empty()) {
        Log(outbox, "refused " + source + ": cannot take it (error " +
                        std::to_string(GetLastError()) + ")");
        return 1;
    }
    FaxCheck check = CheckFax(fax);
    if (!check.error.empty()) {
        // Kept, under a name that says it was not sent.
        std::string refused = fax.substr(0, fax.size() - 4) + ".REFUSED";
        MoveFileA(fax.c_str(), refused.c_str());
        Log(outbox, "refused " + refused + ": " + check.error);
        return 1;
    }
    Log(outbox, "queued " + fax + " pages=" + std::to_string(check.pages) +
                    " bytes=" + std::to_string(check.bytes));
    return 0;
}
