#pragma once
#include <string>

// Takes at most one waiting message of this thread and dispatches it; never waits.
void PumpOneMessage();

// Modal "Information" box without owner; returns when the user closes it.
void ShowInfoBox(const std::string& text);

// Seam for tests: replaces the message box.
using InfoBoxFunction = void (*)(const std::string& text);
extern InfoBoxFunction ShowInfoBoxHook;
