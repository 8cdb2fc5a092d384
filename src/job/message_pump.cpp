#include "job/message_pump.h"

#include <windows.h>

InfoBoxFunction ShowInfoBoxHook = nullptr;

void PumpOneMessage()
{
    MSG message;
    if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        // A quit request taken here belongs to the main loop: it is asked again, or
        // the program would not end after a close during a job.
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void ShowInfoBox(const std::string& text)
{
    if (ShowInfoBoxHook) {
        ShowInfoBoxHook(text);
        return;
    }
    // The whole text: a path in it is never cut to a name that could mean another file.
    MessageBoxA(nullptr, text.c_str(), "Information", MB_OK);
}
