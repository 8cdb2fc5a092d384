#pragma once
// The printer pipe served by a worker thread, each record posted to a registered window:
// what the library's two calls start and stop.
#include <windows.h>

#include <memory>

#include "notice_post.h"
#include "pipe_server.h"

class PrnPipeService {
public:
    // A connected client that sends nothing for idleTimeoutMs is dropped.
    PrnPipeService(DWORD idleTimeoutMs, PostFunction post);
    ~PrnPipeService();
    PrnPipeService(const PrnPipeService&) = delete;
    PrnPipeService& operator=(const PrnPipeService&) = delete;

    // Posts every record to window as message from now on; a second call moves delivery.
    // False when the pipe could not be served.
    bool Start(HWND window, UINT message);
    // Stops serving and closes the pipe; false when it was not served.
    bool Stop();

private:
    static DWORD WINAPI Serve(void* service);
    // Closes the pipe and the stop event once no worker uses them.
    void Release();

    const DWORD idleTimeoutMs_;
    NoticePost notices_;
    std::unique_ptr<PipeServer> server_;
    HANDLE stop_ = nullptr;
    HANDLE worker_ = nullptr;
};
