#pragma once
// A window on the test's thread that takes the printer-pipe notices as the program's
// window does, and a stand-in for the limit of a Windows message queue.
#include <windows.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

inline constexpr UINT kNoticeMessage = WM_APP + 7;

struct Notice {
    std::uint32_t code;
    std::wstring path;
    bool operator==(const Notice&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Notice& notice);

class NoticeWindow {
public:
    NoticeWindow();
    ~NoticeWindow();
    NoticeWindow(const NoticeWindow&) = delete;
    NoticeWindow& operator=(const NoticeWindow&) = delete;

    HWND Handle() const { return window_; }
    const std::vector<Notice>& Notices() const;
    // Blocks not laid out as the program expects them.
    std::size_t Malformed() const;

    // Handles messages until count notices have come; false when the time ran out.
    bool PumpUntil(std::size_t count, DWORD timeoutMs = 30000);

private:
    HWND window_ = nullptr;
};

// Posts as PostMessageA does, but refuses with ERROR_NOT_ENOUGH_QUOTA while 10000
// notices wait in the window's queue, as Windows does (Wine has no such limit).
BOOL WINAPI PostWithQueueLimit(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Waits until the full queue has refused a notice twice.
bool WaitForRepeatedRefusal(DWORD timeoutMs);
