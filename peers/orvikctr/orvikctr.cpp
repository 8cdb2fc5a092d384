// The library's two exports (named by the product's export list, prn_pipe.def.in).
#include <new>

#include "prn_pipe_service.h"
#include "product/prn_pipe.h"

namespace {

// Any printer that is writing sends well within this; a stuck one frees its instance
// long before FAXPRINT stops waiting for a free one (10 s).
constexpr DWORD kIdleTimeoutMs = 5000;

// Lives as long as the library: a destructor run at unload would wait for the worker
// thread inside the loader lock.
PrnPipeService* Service = nullptr;

}  // namespace

BOOL WINAPI WaitForPrnPipe(HWND window, UINT message)
{
    if (!Service)
        Service = new (std::nothrow) PrnPipeService(kIdleTimeoutMs, PostMessageA);
    return Service && Service->Start(window, message);
}

BOOL WINAPI EndWaitPrnPipe() { return Service && Service->Stop(); }
