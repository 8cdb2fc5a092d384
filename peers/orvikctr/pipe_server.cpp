#include "pipe_server.h"

#include <algorithm>

#include "failure_report.h"

bool PipeServer::Open()
{
    for (std::size_t i = 0; i < instances_.size(); ++i)
        if (!instances_[i].Create(i == 0, kInstances, idleTimeoutMs_, notices_))
            return false;
    return true;
}

void PipeServer::Run(HANDLE stop)
{
    for (PipeInstance& instance : instances_)
        instance.Listen();
    for (bool serving = true; serving;) {
        // The stop event first: a wait reports it before any client's.
        HANDLE events[kInstances + 1] = {stop};
        DWORD count = 1;
        DWORD timeout = INFINITE;
        ULONGLONG now = GetTickCount64();
        for (const PipeInstance& instance : instances_) {
            if (HANDLE event = instance.PendingEvent())
                events[count++] = event;
            timeout = std::min(timeout, instance.TimeLeft(now));
        }
        DWORD woke = WaitForMultipleObjects(count, events, FALSE, timeout);
        if (woke == WAIT_OBJECT_0)
            break;
        if (woke == WAIT_FAILED) {
            ReportFailure("WaitForMultipleObjects", GetLastError());
            break;
        }
        for (PipeInstance& instance : instances_)
            serving = serving && instance.Advance(stop);
        now = GetTickCount64();
        for (PipeInstance& instance : instances_)
            serving = serving && instance.DropIfSilent(now, stop);
    }
    for (PipeInstance& instance : instances_)
        instance.Cancel();
}
