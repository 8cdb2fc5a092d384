#include "base/message_pump.h"

#include <windows.h>

PumpStep DispatchOneMessage(QuitRequest quit)
{
    MSG message;
    if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        return PumpStep::Empty;
    if (message.message == WM_QUIT) {
        if (quit == QuitRequest::Leave)
            PostQuitMessage(static_cast<int>(message.wParam));
        return PumpStep::Quit;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
    return PumpStep::Dispatched;
}

void RunMessageLoop()
{
    for (;;) {
        PumpStep step = DispatchOneMessage(QuitRequest::Take);
        if (step == PumpStep::Quit)
            return;
        if (step == PumpStep::Empty)
            WaitMessage();
    }
}

void PumpOneMessage() { DispatchOneMessage(QuitRequest::Leave); }
