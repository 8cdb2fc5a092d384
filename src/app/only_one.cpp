#include "app/only_one.h"

#include <windows.h>

#include "app/application.h"

namespace {

constexpr std::size_t kAtomTitleLength = 20;

std::string CurrentTitle()
{
    char title[256] = {};
    int length = GetWindowTextA(ApplicationWindow, title, sizeof title);
    return std::string(title, length > 0 ? length : 0);
}

void SetTitle(const std::string& title)
{
    ApplicationTitle = title;
    SetWindowTextA(ApplicationWindow, title.c_str());
}

}  // namespace

void TOnlyOne::CheckSingleInstance()
{
    const std::string title = CurrentTitle();
    InstanceAtomName = "OnlyOne" + title.substr(0, kAtomTitleLength);
    if (GlobalFindAtomA(InstanceAtomName.c_str()) != 0) {
        // The whole title: a title cut short could find some other program's window.
        SetTitle("destroy me");
        if (HWND first = FindWindowA(nullptr, title.c_str())) {
            if (IsIconic(first))
                ShowWindow(first, SW_RESTORE);
            else
                BringWindowToTop(first);
            PostQuitMessage(0);
        } else {
            // The atom outlived a copy that was killed: this is the only copy left.
            SetTitle(title);
        }
    }
    GlobalAddAtomA(InstanceAtomName.c_str());
}

TOnlyOne::~TOnlyOne()
{
    if (ATOM atom = GlobalFindAtomA(InstanceAtomName.c_str()))
        GlobalDeleteAtom(atom);
}
