#pragma once
// What the Windows tests share: scratch directories, files, and starting programs.
#include <functional>
#include <string>

#include <windows.h>

// A fresh directory under the temporary directory, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

void WriteFileText(const std::string& path, const std::string& text);
std::string ReadFileText(const std::string& path);
bool FileExists(const std::string& path);

// The Windows directory a test's settings are read from, given as GetWindowsDirectoryA
// gives it (0 when none is set or it does not fit the buffer).
void SetTestWindowsDirectory(const std::string& directory);
UINT WINAPI TestWindowsDirectory(LPSTR buffer, UINT size);

// Directory of the running test program; the programs under test lie beside it.
std::string BinDir();

// One of the sample pages the build makes (1 to 3).
std::string SamplePage(int sample);

// Calls a COM server's DllRegisterServer or DllUnregisterServer; E_FAIL when the library
// or the function cannot be found.
HRESULT CallServer(const std::string& library, const char* function);

// Runs a command line to its end; returns its exit code (or -1 when it could not start
// or did not end within the time).
int RunProgram(const std::string& commandLine, DWORD timeoutMs = 30000);

// A program started in the background; ended (if still running) when this goes away.
class RunningProgram {
public:
    explicit RunningProgram(const std::string& commandLine);
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    // The exit code once it ended within the time, else -1.
    int Wait(DWORD timeoutMs = 30000);
    DWORD Id() const { return process_.dwProcessId; }

private:
    PROCESS_INFORMATION process_{};
};

// Whether a process runs the program of that full file name (compared without case).
bool ProgramRunning(const std::string& path);

// A top-level window of that caption (and class, when given) showing within the time.
HWND WaitForWindow(const char* className, const std::string& caption, DWORD timeoutMs = 15000);

// The text of a message box, and its OK button pressed.
std::string MessageBoxText(HWND box);
void PressOk(HWND box);

// Looks again and again until what another process does shows (it sends no event);
// false when the time ran out.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = 15000);

// Handles every message already queued for this thread.
void PumpMessages();
// Handles this thread's messages as they come until done() holds; false when the time
// ran out.
bool PumpMessagesUntil(const std::function<bool()>& done, DWORD timeoutMs = 15000);

// Waits until the file exists; false when the time ran out.
bool WaitForFile(const std::string& path, DWORD timeoutMs = 15000);

// Another process holds a file open without sharing until this object goes away.
class HeldOpenFile {
public:
    explicit HeldOpenFile(const std::string& path);
    ~HeldOpenFile();
    HeldOpenFile(const HeldOpenFile&) = delete;
    HeldOpenFile& operator=(const HeldOpenFile&) = delete;

private:
    PROCESS_INFORMATION process_{};
    HANDLE stdinWrite_ = nullptr;
};

std::string WindowsDirectory();
std::string SystemDirectory();

// The real settings file of the prefix, put back as it was when this goes away.
class SettingsFile {
public:
    SettingsFile();
    ~SettingsFile();
    SettingsFile(const SettingsFile&) = delete;
    SettingsFile& operator=(const SettingsFile&) = delete;

    void Write(const std::string& text);
    std::string Path() const { return WindowsDirectory() + "\\QFSCH.INI"; }

private:
    bool existed_ = false;
    std::string saved_;
};
