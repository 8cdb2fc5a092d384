#pragma once
// Every instance of the printer pipe, served by one worker thread with overlapped I/O,
// so that a slow or silent client holds up no other.
#include <windows.h>

#include <array>

#include "notice_post.h"
#include "pipe_instance.h"

class PipeServer {
public:
    PipeServer(DWORD idleTimeoutMs, const NoticePost& notices)
            : idleTimeoutMs_(idleTimeoutMs), notices_(notices)
    {
    }

    // Creates all instances at once, so no other process can add one. False when the
    // pipe is served already (or cannot be created).
    bool Open();
    // The worker thread's loop; returns soon after stop is set.
    void Run(HANDLE stop);

private:
    static constexpr DWORD kInstances = 8;
    const DWORD idleTimeoutMs_;
    const NoticePost& notices_;
    std::array<PipeInstance, kInstances> instances_;
};
