#pragma once
#include <string>

// Modal "Information" box without owner; returns when the user closes it.
void ShowInfoBox(const std::string& text);
