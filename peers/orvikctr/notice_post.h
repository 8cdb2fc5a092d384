#pragma once
// Hands each record to the registered window as a notification block.
#include <windows.h>

#include <atomic>

#include "record_assembler.h"

// How a block reaches the window: PostMessageA, or a test's stand-in for a queue that
// fills up (Wine's message queues have no limit).
using PostFunction = BOOL(WINAPI*)(HWND, UINT, WPARAM, LPARAM);

class NoticePost {
public:
    explicit NoticePost(PostFunction post) : post_(post) {}

    // Called from the registering thread while the worker posts.
    void SetTarget(HWND window, UINT message);

    // Posts the record. While the window's queue is full it waits and tries again; only a
    // window that no longer exists makes it discard the record. False when stop was set
    // first.
    bool Post(const WireRecord& record, HANDLE stop) const;

private:
    const PostFunction post_;
    std::atomic<HWND> window_{nullptr};
    std::atomic<UINT> message_{0};
};
