#pragma once
// A message-only window that hands each WM_PRNPIPE_NOTIFY to a job, as the main window
// does, and counts them.
#include <windows.h>

#include "job/print_job.h"

class NoticeReceiver {
public:
    NoticeReceiver();
    ~NoticeReceiver();
    NoticeReceiver(const NoticeReceiver&) = delete;
    NoticeReceiver& operator=(const NoticeReceiver&) = delete;

    HWND Handle() const { return window_; }
    void HandTo(TPrintJob* job) { job_ = job; }
    int Count() const { return count_; }
    // Handles this thread's messages until count notices have arrived; false when they
    // did not within 10 s.
    bool PumpUntil(int count);

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
    TPrintJob* job_ = nullptr;
    int count_ = 0;
};
