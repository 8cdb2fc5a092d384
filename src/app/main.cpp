// TAVON.EXE: start-up. With the imaging control installed, the hidden main window
// serves print jobs until it is closed; without it, the registration tool is started.
#include <windows.h>
#include <ole2.h>

#include <memory>

#include "app/application.h"
#include "app/command_line.h"
#include "app/imaging_license.h"
#include "app/message_boxes.h"
#include "app/tavon_form.h"
#include "base/file_exists.h"
#include "base/message_pump.h"
#include "base/program_start.h"
#include "imaging/control_host.h"
#include "job/job_log.h"
#include "product/settings_file.h"
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
    // path cut short; a name too long to run fails to start, which is reported.
    std::string progDir =
        ReadProfileText(SettingsFilePath(windows), SettingsFile::Quilfa, SettingsFile::ProgDir, "");
    if (progDir.empty())
        ShowStartupMessage("You must run Kalmset and Set User first.");
    return progDir;
}

std::wstring ImagingLicenseKey()
{
    const char* key = reinterpret_cast<const char*>(kImagingLicenseKey);
    int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, key, -1, nullptr, 0);
    std::wstring wide(length > 0 ? length : 1, L'\0');
    if (length <= 0 ||
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, key, -1, wide.data(), length) != length)
        throw ImagingControlError("The imaging licence key built into the program is not UTF-8.");
    wide.pop_back();
    return wide;
}

void RunRegistrationTool()
{
    std::string startupProgDir = CheckProgDirSetting();
    std::string commandLine = QuotedProgram(startupProgDir + "ZEP") + " /RTAVON " + FirstArgument();
    if (!StartProgram(commandLine, SW_SHOW))
        ShowStartupMessage("Could not register Image ActiveX Control");
}

int Run(HINSTANCE instance)
{
    if (!CreateApplicationWindow(instance))
        return 1;
    std::string system = SystemDirectory();
    if (!FileExistsNamed(system + "\\IMOCX32.OCX") || !FileExistsNamed(system + "\\IMTWAIN3.OCX")) {
        RunRegistrationTool();
        return 0;
    }

    ConsoleMessageError = ShowErrorBox;
    std::unique_ptr<TtavonForm> form;
    try {
        form = std::make_unique<TtavonForm>(instance, ImagingLicenseKey());
    } catch (const ImagingControlError& error) {
        // Says what is wrong with the control and what to do, in words.
        ShowErrorBox(error);
        return 1;
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
