#include "job/info_box.h"

#include <windows.h>

void ShowInfoBox(const std::string& text)
{
    // The whole text: a path in it is never cut to a name that could mean another file.
    MessageBoxA(nullptr, text.c_str(), "Information", MB_OK);
}
