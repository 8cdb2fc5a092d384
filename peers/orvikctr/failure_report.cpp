#include "failure_report.h"

#include <cstdio>

void ReportFailure(const char* what, DWORD error)
{
    char text[160];
    std::snprintf(text, sizeof text, "ORVIKCTR: %s failed (error %lu)\n", what,
                  static_cast<unsigned long>(error));
    OutputDebugStringA(text);
}
