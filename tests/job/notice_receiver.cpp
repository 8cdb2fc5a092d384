#include "notice_receiver.h"

#include "test_support.h"

namespace {

constexpr char kClassName[] = "KelvarinJobNotices";

}  // namespace

NoticeReceiver::NoticeReceiver()
{
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = Procedure;
    windowClass.lpszClassName = kClassName;
    RegisterClassA(&windowClass);
    window_ = CreateWindowA(kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

NoticeReceiver::~NoticeReceiver() { DestroyWindow(window_); }

bool NoticeReceiver::PumpUntil(int count)
{
    return PumpMessagesUntil([&] { return count_ >= count; }, 10000);
}

LRESULT CALLBACK NoticeReceiver::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<NoticeReceiver*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message != WM_PRNPIPE_NOTIFY || !self || !self->job_)
        return DefWindowProcA(window, message, wParam, lParam);
    ++self->count_;
    self->job_->WMPrnPipeNotify(wParam);
    return 0;
}
