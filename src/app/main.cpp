// TAVON.EXE: waits hidden for the fax printer's notifications and runs each print job.
#include <windows.h>
#include <ole2.h>

#include "job/print_job.h"
#include "orvikctr.h"

namespace {

constexpr UINT WM_CLOSEREQUEST = WM_USER + 32;

// Until the console pane exists, log lines have nowhere to go.
class NoConsole : public ILogConsole {
public:
    void Write(std::string_view) override {}
    void RepaintNow() override {}
};

NoConsole Console;
TPrintJob Job(Console);

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PRNPIPE_NOTIFY:
        try {
            Job.WMPrnPipeNotify(wParam);
        } catch (const std::exception& e) {
            MessageBoxA(nullptr, e.what(), "Tavon", MB_OK | MB_ICONERROR);
        }
        return 0;
    case WM_CLOSEREQUEST:
    case WM_CLOSE:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    OleInitialize(nullptr);
    ReadTimeSeparator();

    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "TtavonForm";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowA("TtavonForm", "Kelvarin", WS_OVERLAPPEDWINDOW, 42, 364, 600, 300,
                                nullptr, nullptr, instance, nullptr);
    if (!window) {
        MessageBoxA(nullptr, "Cannot create the main window", "Tavon", MB_OK | MB_ICONERROR);
        OleUninitialize();
        return 1;
    }
    WaitForPrnPipe(window, WM_PRNPIPE_NOTIFY);

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    EndWaitPrnPipe();
    DestroyWindow(window);
    OleUninitialize();
    return 0;
}
