#pragma once
// A window bound to its object from its first message (WM_NCCREATE) to its last
// (WM_NCDESTROY), so that no message ever reaches an object that is not, or no longer,
// there. Derived creates its window with `this` as the creation parameter and class
// procedure WindowProc, and provides:
//   LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
//   void HandlerFailed(UINT message, const std::exception& error);  // inside the catch
#include <exception>

#include <windows.h>

#include "base/exception.h"

template <typename Derived>
class BoundWindow {
public:
    HWND Handle() const { return handle_; }

protected:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_NCCREATE) {
            auto* created = reinterpret_cast<CREATESTRUCTA*>(lParam);
            auto* self = static_cast<Derived*>(created->lpCreateParams);
            self->handle_ = window;
            SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
        auto* self = reinterpret_cast<Derived*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (!self)
            return DefWindowProcA(window, message, wParam, lParam);
        if (message == WM_NCDESTROY) {
            SetWindowLongPtrA(window, GWLP_USERDATA, 0);
            self->handle_ = nullptr;
            return DefWindowProcA(window, message, wParam, lParam);
        }
        // Errors must not unwind through the system's dispatch code.
        try {
            return self->HandleMessage(message, wParam, lParam);
        } catch (const std::exception& error) {
            self->HandlerFailed(message, error);
        } catch (...) {
            self->HandlerFailed(message, Exception("unknown error while handling a message"));
        }
        return 0;
    }

    HWND handle_ = nullptr;
};
