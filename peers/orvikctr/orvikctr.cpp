// The exported calls: a worker thread inside the library serves the printer pipe and
// turns each record into a notification block posted to the registered window.
#define ORVIKCTR_BUILD
#include "orvikctr.h"

#include <memory>
#include <new>

#include "notice_post.h"
#include "pipe_instance.h"
#include "pipe_server.h"

namespace {

std::unique_ptr<PipeServer> Server;
HANDLE StopEvent = nullptr;
HANDLE Worker = nullptr;

DWORD WINAPI Serve(void* server)
{
    static_cast<PipeServer*>(server)->Run(StopEvent);
    return 0;
}

}  // namespace

BOOL WINAPI WaitForPrnPipe(HWND window, UINT message)
{
    SetNoticeTarget(window, message);
    if (Worker)
        return TRUE;

    std::unique_ptr<PipeServer> server(new (std::nothrow) PipeServer);
    if (!server || !server->Open())
        return FALSE;
    StopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!StopEvent)
        return FALSE;
    Worker = CreateThread(nullptr, 0, Serve, server.get(), 0, nullptr);
    if (!Worker) {
        CloseHandle(StopEvent);
        StopEvent = nullptr;
        return FALSE;
    }
    Server = std::move(server);
    return TRUE;
}

BOOL WINAPI EndWaitPrnPipe()
{
    if (!Worker || !SetEvent(StopEvent))
        return FALSE;
    WaitForSingleObject(Worker, INFINITE);
    CloseHandle(Worker);
    CloseHandle(StopEvent);
    Worker = StopEvent = nullptr;
    Server.reset();
    SetNoticeTarget(nullptr, 0);
    return TRUE;
}

void WINAPI SetPrnPipeIdleTimeout(DWORD milliseconds) { SetIdleTimeout(milliseconds); }

void WINAPI SetPrnPipePoster(PrnPipePoster poster) { SetNoticePoster(poster); }
