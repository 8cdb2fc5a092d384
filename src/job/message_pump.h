#pragma once
#include <string>

// Takes at most one waiting message of this thread and dispatches it; never waits.
void PumpOneMessage();

// Modal "Information" box without owner; returns when the user closes it.
void ShowInfoBox(const std::string& text);

namespace seams {
// Replaces the message box.
extern void (*InfoBox)(const std::string& text);
}  // namespace seams
