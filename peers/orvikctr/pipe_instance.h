#pragma once
// One instance of the printer pipe: waits for a client, reads its records and posts
// them, drops the client on a bad length or when it stays silent too long, then waits
// for the next. Every call but Create comes from the worker thread.
#include <windows.h>

#include "notice_post.h"
#include "record_assembler.h"

class PipeInstance {
public:
    PipeInstance() = default;
    ~PipeInstance();
    PipeInstance(const PipeInstance&) = delete;
    PipeInstance& operator=(const PipeInstance&) = delete;

    // The first instance claims the name; no other process may serve it then. A client
    // that sends nothing for idleTimeoutMs is dropped; records go to notices.
    bool Create(bool first, DWORD instances, DWORD idleTimeoutMs, const NoticePost& notices);

    void Listen();
    // The event of the operation under way, or null when none is.
    HANDLE PendingEvent() const;
    // Milliseconds until the client counts as silent; INFINITE when none is read from.
    DWORD TimeLeft(ULONGLONG now) const;

    // Each false when stop was set while records were being posted.
    bool Advance(HANDLE stop);
    bool DropIfSilent(ULONGLONG now, HANDLE stop);

    // Ends the operation under way before the worker ends.
    void Cancel();

private:
    enum class State { Idle, Listening, Reading };

    bool Complete(BOOL wait, HANDLE stop);
    bool PostRecords(HANDLE stop);
    bool StartRead();
    void Reconnect();

    const NoticePost* notices_ = nullptr;
    DWORD idleTimeoutMs_ = 0;
    HANDLE pipe_ = INVALID_HANDLE_VALUE;
    OVERLAPPED overlapped_{};
    State state_ = State::Idle;
    ULONGLONG deadline_ = 0;
    RecordAssembler records_;
};
