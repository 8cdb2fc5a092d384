#include "pipe_instance.h"

#include "failure_report.h"
#include "product/prn_pipe.h"

namespace {

constexpr DWORD kInBufferBytes = 64 * 1024;

}  // namespace

PipeInstance::~PipeInstance()
{
    if (pipe_ != INVALID_HANDLE_VALUE)
        CloseHandle(pipe_);
    if (overlapped_.hEvent)
        CloseHandle(overlapped_.hEvent);
}

bool PipeInstance::Create(bool first, DWORD instances, DWORD idleTimeoutMs,
                          const NoticePost& notices)
{
    notices_ = &notices;
    idleTimeoutMs_ = idleTimeoutMs;
    overlapped_.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!overlapped_.hEvent)
        return false;
    DWORD openMode = PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED;
    if (first)
        openMode |= FILE_FLAG_FIRST_PIPE_INSTANCE;
    pipe_ = CreateNamedPipeW(kPrnPipeName, openMode,
                             PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT |
                                 PIPE_REJECT_REMOTE_CLIENTS,
                             instances, 0, kInBufferBytes, 0, nullptr);
    return pipe_ != INVALID_HANDLE_VALUE;
}

void PipeInstance::Listen()
{
    for (;;) {
        records_.Clear();
        state_ = State::Idle;
        if (ConnectNamedPipe(pipe_, &overlapped_) || GetLastError() == ERROR_IO_PENDING) {
            state_ = State::Listening;
            return;
        }
        DWORD error = GetLastError();
        if (error != ERROR_PIPE_CONNECTED && error != ERROR_NO_DATA) {
            ReportFailure("ConnectNamedPipe", error);
            return;
        }
        // The client came first, and may have written and gone again already: no
        // event tells of it, but what it wrote is still there to read.
        deadline_ = GetTickCount64() + idleTimeoutMs_;
        if (StartRead())
            return;
        if (!DisconnectNamedPipe(pipe_)) {
            ReportFailure("DisconnectNamedPipe", GetLastError());
            return;
        }
    }
}

HANDLE PipeInstance::PendingEvent() const
{
    return state_ == State::Idle ? nullptr : overlapped_.hEvent;
}

DWORD PipeInstance::TimeLeft(ULONGLONG now) const
{
    if (state_ != State::Reading)
        return INFINITE;
    return deadline_ > now ? static_cast<DWORD>(deadline_ - now) : 0;
}

bool PipeInstance::Advance(HANDLE stop)
{
    if (state_ == State::Idle || WaitForSingleObject(overlapped_.hEvent, 0) != WAIT_OBJECT_0)
        return true;
    return Complete(FALSE, stop);
}

bool PipeInstance::DropIfSilent(ULONGLONG now, HANDLE stop)
{
    if (state_ != State::Reading || now < deadline_)
        return true;
    // ERROR_NOT_FOUND: the read has just ended; its bytes are taken as usual.
    if (!CancelIoEx(pipe_, &overlapped_) && GetLastError() != ERROR_NOT_FOUND) {
        ReportFailure("CancelIoEx", GetLastError());
        deadline_ = now + idleTimeoutMs_;
        return true;
    }
    return Complete(TRUE, stop);
}

void PipeInstance::Cancel()
{
    if (state_ == State::Idle)
        return;
    // Waited for, so nothing lands in the buffer once it is freed.
    DWORD got = 0;
    if (CancelIoEx(pipe_, &overlapped_) || GetLastError() == ERROR_NOT_FOUND)
        GetOverlappedResult(pipe_, &overlapped_, &got, TRUE);
    else
        ReportFailure("CancelIoEx", GetLastError());
    state_ = State::Idle;
}

bool PipeInstance::Complete(BOOL wait, HANDLE stop)
{
    DWORD got = 0;
    BOOL done = GetOverlappedResult(pipe_, &overlapped_, &got, wait);
    State finished = state_;
    state_ = State::Idle;
    if (!done) {
        // The client closed, broke off, or was cancelled for silence.
        Reconnect();
        return true;
    }
    if (finished == State::Listening) {
        deadline_ = GetTickCount64() + idleTimeoutMs_;
    } else if (got > 0) {
        // A record must be whole within the limit from its first byte: a client that
        // sends a byte now and then would hold its instance for ever.
        bool restart = !records_.Partial();
        records_.Received(got);
        WireRecord record;
        for (;;) {
            RecordAssembler::Next next = records_.Take(record);
            if (next == RecordAssembler::Next::NeedMore)
                break;
            if (next == RecordAssembler::Next::BadLength) {
                Reconnect();
                return true;
            }
            if (WaitForSingleObject(stop, 0) != WAIT_TIMEOUT || !notices_->Post(record, stop))
                return false;
            restart = true;
        }
        if (restart)
            deadline_ = GetTickCount64() + idleTimeoutMs_;
    }
    if (!StartRead())
        Reconnect();
    return true;
}

bool PipeInstance::StartRead()
{
    if (ReadFile(pipe_, records_.Space(), records_.SpaceSize(), nullptr, &overlapped_) ||
        GetLastError() == ERROR_IO_PENDING) {
        state_ = State::Reading;
        return true;
    }
    return false;
}

void PipeInstance::Reconnect()
{
    // Listens even so: after a failed listen there is nothing to disconnect.
    if (!DisconnectNamedPipe(pipe_))
        ReportFailure("DisconnectNamedPipe", GetLastError());
    Listen();
}
