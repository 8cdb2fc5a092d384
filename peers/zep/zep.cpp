// ZEP.EXE, the registration tool's stand-in: copies the imaging control and its
// scanner companion from its own directory into the system directory, registers
// them, and records its command line and the outcome in ZEP.LOG beside itself.
#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <string>

#include "base/module_path.h"

namespace {

constexpr const char* kControls[] = {"IMOCX32.OCX", "IMTWAIN3.OCX"};

std::string SystemDirectory()
{
    char path[MAX_PATH + 1] = {};
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::string(path, length) : std::string();
}

// Empty text on success, else what failed.
std::string Register(const std::string& library)
{
    HMODULE module = LoadLibraryA(library.c_str());
    if (!module)
        return "cannot load " + library + " (error " + std::to_string(GetLastError()) + ")";
    using RegisterFunction = HRESULT(STDAPICALLTYPE*)();
    auto registerServer = reinterpret_cast<RegisterFunction>(
        reinterpret_cast<void (*)()>(GetProcAddress(module, "DllRegisterServer")));
    std::string failure;
    if (!registerServer)
        failure = library + " has no DllRegisterServer";
    else if (HRESULT status = registerServer(); FAILED(status))
        failure = library + ": DllRegisterServer failed (" + std::to_string(status) + ")";
    FreeLibrary(module);
    return failure;
}

std::string Install()
{
    std::string source = ModuleDirectory();
    std::string system = SystemDirectory();
    if (system.empty())
        return "no system directory";
    for (const char* control : kControls) {
        std::string target = system + "\\" + control;
        if (!CopyFileA((source + control).c_str(), target.c_str(), FALSE))
            return "cannot copy " + source + control + " to " + target + " (error " +
                   std::to_string(GetLastError()) + ")";
        if (std::string failure = Register(target); !failure.empty())
            return failure;
    }
    return {};
}

void Log(const std::string& line)
{
    std::string path = ModuleDirectory() + "ZEP.LOG";
    if (FILE* log = std::fopen(path.c_str(), "ab")) {
        SYSTEMTIME now;
        GetLocalTime(&now);
        std::fprintf(log, "%04u-%02u-%02u %02u:%02u:%02u %s\r\n", now.wYear, now.wMonth, now.wDay,
                     now.wHour, now.wMinute, now.wSecond, line.c_str());
        std::fclose(log);
    }
}

}  // namespace

int main()
{
    OleInitialize(nullptr);
    Log(std::string("command line: ") + GetCommandLineA());
    std::string failure = Install();
    Log(failure.empty() ? "registered IMOCX32.OCX and IMTWAIN3.OCX" : "failed: " + failure);
    OleUninitialize();
    if (!failure.empty()) {
        std::fprintf(stderr, "ZEP: %s\n", failure.c_str());
        return 1;
    }
    return 0;
}
