#pragma once
// The worker thread has no one to return errors to: it tells a debugger.
#include <windows.h>

void ReportFailure(const char* what, DWORD error);
