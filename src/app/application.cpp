#include "app/application.h"

#include "app/tavon_form.h"
#include "base/module_path.h"

std::string ApplicationTitle;
HWND ApplicationWindow = nullptr;

namespace {

LRESULT CALLBACK ApplicationWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Closing the taskbar entry ends the program like closing the main window.
    if (message == WM_CLOSE) {
        if (tavonForm)
            PostMessageA(tavonForm->Handle(), WM_CLOSE, 0, 0);
        else
            PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

std::string TitleFromModulePath(const std::string& modulePath)
{
    std::string ansi = modulePath;
    OemToCharBuffA(modulePath.c_str(), ansi.data(), static_cast<DWORD>(ansi.size()));
    std::string title = ansi.substr(ansi.find_last_of('\\') + 1);
    title = title.substr(0, title.find('.'));
    if (title.size() > 1)
        CharLowerBuffA(title.data() + 1, static_cast<DWORD>(title.size() - 1));
    return title;
}

bool CreateApplicationWindow(HINSTANCE instance)
{
    ApplicationTitle = TitleFromModulePath(ModulePath());
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = ApplicationWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, "MAINICON");
    windowClass.lpszClassName = "TApplication";
    if (!RegisterClassA(&windowClass))
        return false;
    int x = GetSystemMetrics(SM_CXSCREEN) / 2;
    int y = GetSystemMetrics(SM_CYSCREEN) / 2;
    ApplicationWindow =
        CreateWindowA("TApplication", ApplicationTitle.c_str(),
                      WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_VISIBLE, x, y, 0, 0,
                      nullptr, nullptr, instance, nullptr);
    return ApplicationWindow != nullptr;
}
