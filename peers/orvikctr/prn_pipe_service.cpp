#include "prn_pipe_service.h"

#include <new>

PrnPipeService::PrnPipeService(DWORD idleTimeoutMs, PostFunction post)
        : idleTimeoutMs_(idleTimeoutMs), notices_(post)
{
}

PrnPipeService::~PrnPipeService() { Stop(); }

bool PrnPipeService::Start(HWND window, UINT message)
{
    notices_.SetTarget(window, message);
    if (worker_)
        return true;
    server_.reset(new (std::nothrow) PipeServer(idleTimeoutMs_, notices_));
    stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (server_ && stop_ && server_->Open())
        worker_ = CreateThread(nullptr, 0, Serve, this, 0, nullptr);
    if (!worker_)
        Release();
    return worker_ != nullptr;
}

bool PrnPipeService::Stop()
{
    if (!worker_ || !SetEvent(stop_))
        return false;
    WaitForSingleObject(worker_, INFINITE);
    CloseHandle(worker_);
    worker_ = nullptr;
    Release();
    notices_.SetTarget(nullptr, 0);
    return true;
}

DWORD WINAPI PrnPipeService::Serve(void* service)
{
    auto* self = static_cast<PrnPipeService*>(service);
    self->server_->Run(self->stop_);
    return 0;
}

void PrnPipeService::Release()
{
    server_.reset();
    if (stop_)
        CloseHandle(stop_);
    stop_ = nullptr;
}
