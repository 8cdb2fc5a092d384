#include "job/message_pump.h"

#include <windows.h>

InfoBoxFunction ShowInfoBoxHook = nullptr;

void PumpOneMessage()
{
    MSG message;
    if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
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
