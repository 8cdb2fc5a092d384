#pragma once
// The printer-pipe library: delivers the fax printer's notifications to a window.
#include <windows.h>

#ifdef ORVIKCTR_BUILD
#define ORVIKCTR_API extern "C" __declspec(dllexport)
#else
#define ORVIKCTR_API extern "C" __declspec(dllimport)
#endif

// From now on, every record a client writes to the printer pipe is posted to window
// as message, with a global memory block (the receiver frees it) as wParam. A second
// call moves delivery to the new window. FALSE when the pipe could not be served
// (for example because another process serves it already).
ORVIKCTR_API BOOL WINAPI WaitForPrnPipe(HWND window, UINT message);

// Stops delivery and closes the pipe; returns promptly whatever clients are doing.
// Records read but not yet posted are dropped.
ORVIKCTR_API BOOL WINAPI EndWaitPrnPipe();

// Seams for tests. How long a connected client may send nothing before it is dropped
// (0: the normal 5 s). What posts the notices (nullptr: PostMessageA): Wine's message
// queues have no limit, so a test stands in a queue that fills up.
using PrnPipePoster = BOOL(WINAPI*)(HWND, UINT, WPARAM, LPARAM);
ORVIKCTR_API void WINAPI SetPrnPipeIdleTimeout(DWORD milliseconds);
ORVIKCTR_API void WINAPI SetPrnPipePoster(PrnPipePoster poster);
