#include "test_support.h"

#include <tlhelp32.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "base/message_pump.h"

namespace {

void RemoveTree(const std::string& dir)
{
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = entry.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string full = dir + "\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(full);
            else
                DeleteFileA(full.c_str());
        } while (FindNextFileA(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryA(dir.c_str());
}

}  // namespace

TempDir::TempDir()
{
    char base[MAX_PATH + 1];
    DWORD length = GetTempPathA(sizeof base, base);
    if (length == 0 || length > MAX_PATH)
        throw std::runtime_error("no temporary directory");
    static unsigned counter = 0;
    for (;;) {
        path_ = std::string(base) + "kelvarin-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(++counter);
        if (CreateDirectoryA(path_.c_str(), nullptr))
            return;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            throw std::runtime_error("cannot create " + path_);
    }
}

TempDir::~TempDir() { RemoveTree(path_); }

void WriteFileText(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

std::string ReadFileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool FileExists(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string BinDir()
{
    char path[MAX_PATH + 1] = {};
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string full(path, length);
    return full.substr(0, full.find_last_of('\\'));
}

std::string SamplePage(int sample)
{
    return BinDir() + "\\..\\testdata\\page" + std::to_string(sample) + ".tif";
}

HRESULT CallServer(const std::string& library, const char* function)
{
    HMODULE module = LoadLibraryA(library.c_str());
    if (!module)
        return E_FAIL;
    // Through void (*)(): FARPROC's own return type is not the server's.
    auto call = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void (*)()>(GetProcAddress(module, function)));
    HRESULT status = call ? call() : E_FAIL;
    FreeLibrary(module);
    return status;
}

int RunProgram(const std::string& commandLine, DWORD timeoutMs)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return -1;
    CloseHandle(process.hThread);
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    else
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

HeldOpenFile::HeldOpenFile(const std::string& path)
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE stdinRead = nullptr, stdoutRead = nullptr, stdoutWrite = nullptr;
    if (!CreatePipe(&stdinRead, &stdinWrite_, &inherit, 0) ||
        !CreatePipe(&stdoutRead, &stdoutWrite, &inherit, 0))
        throw std::runtime_error("CreatePipe failed");
    SetHandleInformation(stdinWrite_, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(stdoutRead, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = stdinRead;
    startup.hStdOutput = stdoutWrite;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    std::string line = "\"" + BinDir() + "\\holdopen.exe\" \"" + path + "\"";
    BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                  &startup, &process_);
    CloseHandle(stdinRead);
    CloseHandle(stdoutWrite);
    char ready = 0;
    DWORD got = 0;
    bool held =
        started && ReadFile(stdoutRead, &ready, 1, &got, nullptr) && got == 1 && ready == 'H';
    CloseHandle(stdoutRead);
    if (!held)
        throw std::runtime_error("holdopen could not hold " + path);
}

HeldOpenFile::~HeldOpenFile()
{
    CloseHandle(stdinWrite_);  // holdopen ends when its input ends
    WaitForSingleObject(process_.hProcess, 10000);
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
}

RunningProgram::RunningProgram(const std::string& commandLine)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process_))
        throw std::runtime_error("cannot start " + commandLine);
}

RunningProgram::~RunningProgram()
{
    if (WaitForSingleObject(process_.hProcess, 0) != WAIT_OBJECT_0)
        TerminateProcess(process_.hProcess, 1);
    WaitForSingleObject(process_.hProcess, 10000);
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
}

int RunningProgram::Wait(DWORD timeoutMs)
{
    if (WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return static_cast<int>(code);
}

bool ProgramRunning(const std::string& path)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        throw std::runtime_error("no process snapshot");
    bool running = false;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more && !running;
         more = Process32Next(snapshot, &entry)) {
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
        if (!process)
            continue;
        char image[MAX_PATH + 1] = {};
        DWORD size = MAX_PATH;
        if (QueryFullProcessImageNameA(process, 0, image, &size))
            running = lstrcmpiA(image, path.c_str()) == 0;
        CloseHandle(process);
    }
    CloseHandle(snapshot);
    return running;
}

HWND WaitForWindow(const char* className, const std::string& caption, DWORD timeoutMs)
{
    ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (HWND window = FindWindowA(className, caption.c_str()))
            return window;
        if (GetTickCount64() > deadline)
            return nullptr;
        Sleep(50);
    }
}

std::string MessageBoxText(HWND box)
{
    char text[1024] = {};
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    return text;
}

void PressOk(HWND box) { PostMessageA(box, WM_COMMAND, IDOK, 0); }

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!done()) {
        if (GetTickCount64() > deadline)
            return false;
        Sleep(20);
    }
    return true;
}

// A quit request is taken like any other message.
void PumpMessages()
{
    while (DispatchOneMessage(QuitRequest::Take) != PumpStep::Empty) {
    }
}

bool PumpMessagesUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        // One message at a time: a peer that posts without pause never empties the queue.
        bool pumped = DispatchOneMessage(QuitRequest::Take) != PumpStep::Empty;
        if (done())
            return true;
        ULONGLONG now = GetTickCount64();
        if (now >= deadline)
            return false;
        if (!pumped)
            MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now),
                                      QS_ALLINPUT);
    }
}

bool WaitForFile(const std::string& path, DWORD timeoutMs)
{
    return WaitUntil([&] { return FileExists(path); }, timeoutMs);
}

std::string WindowsDirectory()
{
    char path[MAX_PATH + 1] = {};
    GetWindowsDirectoryA(path, MAX_PATH);
    return path;
}

std::string SystemDirectory()
{
    char path[MAX_PATH + 1] = {};
    GetSystemDirectoryA(path, MAX_PATH);
    return path;
}

SettingsFile::SettingsFile() : existed_(FileExists(Path()))
{
    if (existed_)
        saved_ = ReadFileText(Path());
}

SettingsFile::~SettingsFile()
{
    if (existed_)
        WriteFileText(Path(), saved_);
    else
        DeleteFileA(Path().c_str());
}

void SettingsFile::Write(const std::string& text) { WriteFileText(Path(), text); }

namespace {

std::string WindowsDirectoryOfTheTest;

}  // namespace

void SetTestWindowsDirectory(const std::string& directory)
{
    WindowsDirectoryOfTheTest = directory;
}

UINT WINAPI TestWindowsDirectory(LPSTR buffer, UINT size)
{
    const std::string& directory = WindowsDirectoryOfTheTest;
    if (directory.empty() || directory.size() >= size)
        return 0;
    lstrcpynA(buffer, directory.c_str(), static_cast<int>(size));
    return static_cast<UINT>(directory.size());
}
