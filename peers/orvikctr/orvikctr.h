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

// Stops delivery and closes the pipe; waits for the worker thread to end.
ORVIKCTR_API BOOL WINAPI EndWaitPrnPipe();
