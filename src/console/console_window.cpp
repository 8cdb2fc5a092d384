// The control's window: its class, creation and message handling.
#include "console/console.h"

#include <string>
#include <utility>

#include "base/message_text.h"

namespace {

constexpr char ClassName[] = "TConsole";

void ShowMessageError(const std::exception& error)
{
    MessageBoxA(nullptr, WithFullStop(error.what()).c_str(), "Error", MB_OK | MB_ICONERROR);
}

}  // namespace

void (*ConsoleMessageError)(const std::exception& error) = ShowMessageError;

void TConsole::CreateHandle(HWND parent)
{
    if (handle_)
        return;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA windowClass{};
    if (!GetClassInfoExA(instance, ClassName, &windowClass)) {
        windowClass.cbSize = sizeof windowClass;
        // No CS_HREDRAW or CS_VREDRAW: a size change repaints only what it uncovers.
        // No background brush: painting covers every pixel.
        windowClass.style = 0;
        windowClass.lpfnWndProc = WindowProc;
        windowClass.hInstance = instance;
        windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
        windowClass.lpszClassName = ClassName;
        if (!RegisterClassExA(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
            throw Exception("TConsole: window class cannot be registered, error " +
                            std::to_string(GetLastError()));
    }
    createError_ = nullptr;
    HWND window = CreateWindowExA(0, ClassName, "",
                                  WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS |
                                      WS_HSCROLL | WS_VSCROLL,
                                  bounds_.left, bounds_.top, bounds_.right - bounds_.left,
                                  bounds_.bottom - bounds_.top, parent, nullptr, instance, this);
    if (!window)
        throw Exception("TConsole: window cannot be created, error " +
                        std::to_string(GetLastError()));
    if (createError_)
        std::rethrow_exception(std::exchange(createError_, nullptr));
}

void TConsole::SetBounds(int left, int top, int width, int height)
{
    bounds_ = RECT{left, top, left + width, top + height};
    if (handle_ && !MoveWindow(handle_, left, top, width, height, TRUE))
        throw Exception("TConsole: window cannot be moved, error " +
                        std::to_string(GetLastError()));
}

void TConsole::HandlerFailed(UINT message, const std::exception& error)
{
    // An error of the window's creation is raised again by CreateHandle.
    if (message == WM_CREATE)
        createError_ = std::current_exception();
    else
        ConsoleMessageError(error);
}

LRESULT TConsole::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: {
        LRESULT result = DefWindowProcA(handle_, message, wParam, lParam);
        ResetFont();
        return result;
    }
    case WM_SIZE: {
        bool caret = CaretWanted();
        if (caret)
            HideCursor();
        LRESULT result = DefWindowProcA(handle_, message, wParam, lParam);
        UpdateLayout();
        if (caret)
            ShowCursor();
        return result;
    }
    case WM_HSCROLL:
        DoScroll(TScrollAxis::Horizontal, short(LOWORD(wParam)), short(HIWORD(wParam)));
        return 0;
    case WM_VSCROLL:
        DoScroll(TScrollAxis::Vertical, short(LOWORD(wParam)), short(HIWORD(wParam)));
        return 0;
    case WM_SETFOCUS:
        focused_ = true;
        if (reading_ || (options_ & coFulltimeCursor))
            ShowCursor();
        return DefWindowProcA(handle_, message, wParam, lParam);
    case WM_KILLFOCUS: {
        LRESULT result = DefWindowProcA(handle_, message, wParam, lParam);
        if (reading_ || (options_ & coFulltimeCursor))
            HideCursor();
        focused_ = false;
        return result;
    }
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS;  // arrows and characters, not Tab
    case WM_ERASEBKGND:
        return 1;  // painting covers the background
    case WM_PAINT:
        Paint();
        return 0;
    case UM_TRACK_CURSOR:
        TrackCursor();
        return 0;
    case UM_SCROLL_BY:
        ScrollTo(OriginX() + static_cast<int>(static_cast<INT_PTR>(wParam)),
                 OriginY() + static_cast<int>(lParam));
        return 0;
    case WM_KEYDOWN:
        KeyDown(WORD(wParam));
        return 0;
    case WM_CHAR:
        KeyPress(static_cast<char>(wParam));
        return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        SetFocus(handle_);
        return DefWindowProcA(handle_, message, wParam, lParam);
    default:
        return DefWindowProcA(handle_, message, wParam, lParam);
    }
}
