// TAVON.EXE: start-up. With the imaging control installed, the hidden main window
// serves print jobs until it is closed; without it, the registration tool is started.
#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <cxxabi.h>
#include <memory>
#include <typeinfo>

#include "app/application.h"
#include "app/command_line.h"
#include "app/tavon_form.h"
#include "job/job_log.h"
#include "job/print_job.h"
#include "settings/fax_settings.h"
#include "settings/profile.h"

namespace {

constexpr std::size_t kStartupBufferSize = 145;

std::string SystemDirectory()
{
    char buffer[kStartupBufferSize] = {};
    GetSystemDirectoryA(buffer, sizeof buffer);
    return buffer;
}

// The program directory as the settings file names it; asks for the user setup when
// there is none.
std::string CheckProgDirSetting()
{
    char windows[kStartupBufferSize] = {};
    UINT length = GetWindowsDirectoryA(windows, sizeof windows);
    if (length == 0 || length >= sizeof windows)
        return {};
    // Kept whole, like the command line built from it: the tool is never started by a
    // path cut short; a name too long to run makes WinExec fail, which is reported.
    std::string progDir = ReadProfileText(SettingsFilePath(windows), "Quilfa", "ProgDir", "");
    if (progDir.empty())
        ShowStartupMessage("You must run Kalmset and Set User first.");
    return progDir;
}

void RunRegistrationTool()
{
    std::string startupProgDir = CheckProgDirSetting();
    std::string commandLine = startupProgDir + "ZEP /RTAVON " + FirstArgument();
    if (WinExec(commandLine.c_str(), SW_SHOW) < 32)
        ShowStartupMessage("Could not register Image ActiveX Control");
}

void RunMessageLoop()
{
    for (;;) {
        MSG message;
        if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            WaitMessage();
            continue;
        }
        if (message.message == WM_QUIT)
            return;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

std::string KindOf(const std::exception& error)
{
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> name(
        abi::__cxa_demangle(typeid(error).name(), nullptr, nullptr, &status), std::free);
    return status == 0 && name ? name.get() : typeid(error).name();
}

std::string ModuleName()
{
    char path[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string full = path;
    return full.substr(full.find_last_of('\\') + 1).substr(0, 63);
}

void ShowFatalError(const std::exception& error, const void* where)
{
    std::string message = error.what();
    const char* stop = !message.empty() && message.back() == '.' ? "" : ".";
    char text[1024];
    std::snprintf(text, sizeof text, "Exception %s in module %s at %p.\n%s%s",
                  KindOf(error).c_str(), ModuleName().c_str(), where, message.c_str(), stop);
    MessageBoxA(nullptr, text, "Application Error", MB_OK | MB_ICONERROR | MB_TASKMODAL);
}

int Run(HINSTANCE instance)
{
    if (!CreateApplicationWindow(instance))
        return 1;
    std::string system = SystemDirectory();
    if (!FileExistsNamed(system + "\\IMOCX32.OCX") ||
        !FileExistsNamed(system + "\\IMTWAIN3.OCX")) {
        RunRegistrationTool();
        return 0;
    }

    ConsoleMessageError = ShowErrorBox;
    std::unique_ptr<TtavonForm> form;
    try {
        form = std::make_unique<TtavonForm>(instance);
    } catch (const std::exception& error) {
        ShowFatalError(error, reinterpret_cast<const void*>(&Run));
        return 1;
    }
    ShowWindow(ApplicationWindow, SW_HIDE);
    RunMessageLoop();
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    ReadTimeSeparator();
    OleInitialize(nullptr);
    int exitCode = Run(instance);
    OleUninitialize();
    return exitCode;
}
