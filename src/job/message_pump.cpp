#include "job/message_pump.h"

#include <windows.h>

#include "base/message_pump.h"

void (*seams::InfoBox)(const std::string& text) = nullptr;

void PumpOneMessage() { DispatchOneMessage(QuitRequest::Leave); }

void ShowInfoBox(const std::string& text)
{
    if (seams::InfoBox) {
        seams::InfoBox(text);
        return;
    }
    // The whole text: a path in it is never cut to a name that could mean another file.
    MessageBoxA(nullptr, text.c_str(), "Information", MB_OK);
}
