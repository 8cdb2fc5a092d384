// ZEP.EXE, the registration tool's stand-in: copies the imaging control and its
// scanner companion from its own directory into the system directory, registers
// them, and records its command line and the outcome in ZEP.LOG beside itself. Another
// maker's control, in the system directory or registered, stays as it is.
#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <cwchar>
#include <iterator>
#include <string>
#include <vector>

#include "base/class_server.h"
#include "base/module_path.h"
#include "base/system_directory.h"
#include "base/text_conversion.h"
#include "product/imaging_control.h"

namespace {

constexpr const char* kControls[] = {"IMOCX32.OCX", "IMTWAIN3.OCX"};
constexpr int kFailed = 1;
constexpr int kRefused = 3;

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

// Whether the file's version resource names Kelvarin as its maker. Version numbers
// prove nothing (a vendor's file may have ours); a file without one is not ours.
bool IsOurs(const std::wstring& file)
{
    DWORD unused = 0;
    DWORD size = GetFileVersionInfoSizeW(file.c_str(), &unused);
    if (size == 0)
        return false;
    std::vector<char> info(size);
    if (!GetFileVersionInfoW(file.c_str(), 0, size, info.data()))
        return false;
    // The strings are under the resource's first language and code page.
    WORD* translation = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation",
                        reinterpret_cast<void**>(&translation), &length) ||
        length < 2 * sizeof(WORD))
        return false;
    wchar_t name[64];
    std::swprintf(name, std::size(name), L"\\StringFileInfo\\%04x%04x\\CompanyName", translation[0],
                  translation[1]);
    wchar_t* company = nullptr;
    if (!VerQueryValueW(info.data(), name, reinterpret_cast<void**>(&company), &length))
        return false;
    std::wstring_view text(company, length);
    while (!text.empty() && text.back() == L'\0')
        text.remove_suffix(1);
    return text == L"Kelvarin";
}

// A file that cannot be looked at counts as there: it may be another maker's.
bool Absent(const std::wstring& file)
{
    if (GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES)
        return false;
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// The first control file that is not ours, by the name a user types for it: in the system
// directory under a control's name, or the file the imaging control's class is registered
// to. Empty when none.
std::wstring ForeignControl(const std::wstring& system)
{
    for (const char* control : kControls) {
        std::wstring file = system + L"\\" + ToWide(control);
        if (!Absent(file) && !IsOurs(file))
            return SystemDirectoryOnDisk() + L"\\" + ToWide(control);
    }
    std::wstring registered = InprocServerFile(kImageManClassText);
    if (!registered.empty() && !Absent(registered) &&
        !SameFile(registered, system + L"\\IMOCX32.OCX") && !IsOurs(registered))
        return registered;
    return {};
}

std::wstring Refusal(const std::wstring& file)
{
    return file +
           L" is not Kelvarin's: its version information does not name Kelvarin as its maker. "
           L"ZEP left it and its registration as they are, and installed nothing. To keep using "
           L"that maker's control, leave it, or repair it with its maker's setup. To use "
           L"Kelvarin's instead, unregister it (regsvr32 /u \"" +
           file + L"\"), remove it, and start Kelvarin again: ZEP then installs Kelvarin's.";
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

// Two program starts at once start two tools (the program does not wait for one): they
// take turns, so that neither takes a control file the other is still copying for another
// maker's.
class OneAtATime {
public:
    OneAtATime() : mutex_(CreateMutexW(nullptr, FALSE, L"Local\\KelvarinZep"))
    {
        if (mutex_)
            WaitForSingleObject(mutex_, INFINITE);
    }
    ~OneAtATime()
    {
        if (mutex_) {
            ReleaseMutex(mutex_);
            CloseHandle(mutex_);
        }
    }
    OneAtATime(const OneAtATime&) = delete;
    OneAtATime& operator=(const OneAtATime&) = delete;

private:
    HANDLE mutex_;
};

}  // namespace

int main()
{
    OneAtATime turn;
    OleInitialize(nullptr);
    Log(std::string("command line: ") + GetCommandLineA());
    std::string system = SystemDirectory();
    // Every file is looked at before any is copied: a refusal leaves all as it was.
    if (std::wstring foreign = system.empty() ? std::wstring() : ForeignControl(ToWide(system));
        !foreign.empty()) {
        std::wstring words = Refusal(foreign);
        std::string text = ToAnsi(words).text;
        Log("refused: " + text);
        std::fprintf(stderr, "ZEP: %s\n", text.c_str());
        // The words are in the log and on stderr should the box fail.
        MessageBoxW(nullptr, words.c_str(), L"ZEP", MB_OK | MB_ICONWARNING);
        OleUninitialize();
        return kRefused;
    }
    std::string failure = Install();
    Log(failure.empty() ? "registered IMOCX32.OCX and IMTWAIN3.OCX" : "failed: " + failure);
    OleUninitialize();
    if (!failure.empty()) {
        std::fprintf(stderr, "ZEP: %s\n", failure.c_str());
        return kFailed;
    }
    return 0;
}
