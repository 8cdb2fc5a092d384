#include "notice_window.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <stdexcept>

#include "product/prn_pipe.h"
#include "test_support.h"

namespace {

constexpr long kQueueLimit = 10000;

std::vector<Notice> Received;
std::size_t MalformedBlocks = 0;
// Counted apart from Received: the worker thread reads them while posting.
std::atomic<long> Posted{0};
std::atomic<long> Handled{0};
std::atomic<long> Refusals{0};
HANDLE RefusedTwice = nullptr;

// The block as the library builds it: code, 520 zero bytes, the path, a zero unit.
// Read as the program reads it: the path ends at the first zero unit.
void Take(HGLOBAL block)
{
    SIZE_T size = GlobalSize(block);
    const auto* data = static_cast<const unsigned char*>(GlobalLock(block));
    Notice notice{};
    bool wellFormed = data && size > kNoticePathOffset;
    if (wellFormed) {
        std::memcpy(&notice.code, data, sizeof notice.code);
        wellFormed = std::all_of(data + sizeof notice.code, data + kNoticePathOffset,
                                 [](unsigned char byte) { return byte == 0; });
        bool terminated = false;
        for (SIZE_T at = kNoticePathOffset; at + 1 < size && !terminated; at += 2) {
            wchar_t unit;
            std::memcpy(&unit, data + at, sizeof unit);
            terminated = unit == 0;
            if (!terminated)
                notice.path.push_back(unit);
        }
        wellFormed = wellFormed && terminated;
    }
    if (data)
        GlobalUnlock(block);
    if (!wellFormed)
        ++MalformedBlocks;
    Received.push_back(std::move(notice));
    GlobalFree(block);
    ++Handled;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != kNoticeMessage)
        return DefWindowProcW(window, message, wParam, lParam);
    Take(reinterpret_cast<HGLOBAL>(wParam));
    return 0;
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const Notice& notice)
{
    out << notice.code << " \"";
    for (std::size_t i = 0; i < notice.path.size() && i < 60; ++i) {
        wchar_t unit = notice.path[i];
        out << (unit >= 0x20 && unit < 0x7F ? static_cast<char>(unit) : '?');
    }
    return out << (notice.path.size() > 60 ? "...\" (" : "\" (") << notice.path.size() << " units)";
}

NoticeWindow::NoticeWindow()
{
    Received.clear();
    MalformedBlocks = 0;
    Posted = Handled = Refusals = 0;
    RefusedTwice = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"KelvarinNoticeWindow";
    RegisterClassW(&windowClass);  // fails harmlessly once registered
    window_ = CreateWindowW(L"KelvarinNoticeWindow", L"notices", WS_OVERLAPPEDWINDOW, 0, 0, 100,
                            100, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (!RefusedTwice || !window_)
        throw std::runtime_error("cannot create the notice window");
}

NoticeWindow::~NoticeWindow()
{
    PumpMessages();
    DestroyWindow(window_);
    CloseHandle(RefusedTwice);
}

const std::vector<Notice>& NoticeWindow::Notices() const { return Received; }

std::size_t NoticeWindow::Malformed() const { return MalformedBlocks; }

bool NoticeWindow::PumpUntil(std::size_t count, DWORD timeoutMs)
{
    return PumpMessagesUntil([&] { return Received.size() >= count; }, timeoutMs);
}

BOOL WINAPI PostWithQueueLimit(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (Posted - Handled >= kQueueLimit) {
        if (++Refusals == 2)
            SetEvent(RefusedTwice);
        SetLastError(ERROR_NOT_ENOUGH_QUOTA);
        return FALSE;
    }
    ++Posted;
    if (PostMessageA(window, message, wParam, lParam))
        return TRUE;
    --Posted;
    return FALSE;
}

bool WaitForRepeatedRefusal(DWORD timeoutMs)
{
    return WaitForSingleObject(RefusedTwice, timeoutMs) == WAIT_OBJECT_0;
}
