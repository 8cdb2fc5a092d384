// Cost of writing 10,000 job-log lines into a console of the log pane's size, with and
// without coLazyWrite; "Write + RepaintNow" is how the job log writes. Run it under Wine
// (scripts/wine-run.sh, a few minutes: there every scroll-bar redraw costs milliseconds)
// or on Windows.
#include <cstdio>
#include <stdexcept>
#include <string>

#include <windows.h>

#include "console/console.h"

namespace {

constexpr int Lines = 10000;
constexpr TConsoleOptions LogPane = coAutoTracking | coCheckBreak | coFixedPitchOnly;

void PumpMessages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

HWND MakeHost()
{
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "KelvarinConsoleBench";
    if (!RegisterClassA(&windowClass))
        throw std::runtime_error("RegisterClass failed");
    HWND host = CreateWindowExA(0, windowClass.lpszClassName, "console bench", WS_POPUP | WS_VISIBLE,
                                0, 0, 600, 300, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (!host)
        throw std::runtime_error("CreateWindowEx failed");
    return host;
}

std::string LogLine(int number)
{
    char line[96];
    std::snprintf(line, sizeof line, "05.14.24 %02d:%02d:%02d AM job %d: page %d merged into FAX%05d.TIF\r\n",
                  1 + number / 3600 % 12, number / 60 % 60, number % 60, number / 8, number % 8, number);
    return line;
}

enum class Turn { None, RepaintEachLine };

// Milliseconds for all lines, the message queue drained and the screen up to date.
double Run(HWND host, TConsoleOptions options, Turn turn)
{
    TConsole console;
    console.SetOptions(options);
    console.SetRows(50);
    console.Font().SetHeight(-11);
    console.Font().SetName("Courier");
    console.Loaded();
    console.CreateHandle(host);
    console.SetBounds(0, 0, 600, 300);
    PumpMessages();

    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    for (int line = 0; line < Lines; ++line) {
        console.Write(LogLine(line));
        if (turn == Turn::RepaintEachLine)
            console.RepaintNow();
    }
    PumpMessages();
    UpdateWindow(console.Handle());
    QueryPerformanceCounter(&end);
    return double(end.QuadPart - start.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

}  // namespace

int main()
{
    try {
        HWND host = MakeHost();
        PumpMessages();
        struct Case {
            const char* name;
            TConsoleOptions options;
            Turn turn;
        } cases[] = {
            {"without coLazyWrite, Write              ", LogPane, Turn::None},
            {"with coLazyWrite,    Write              ", LogPane | coLazyWrite, Turn::None},
            {"without coLazyWrite, Write + RepaintNow ", LogPane, Turn::RepaintEachLine},
            {"with coLazyWrite,    Write + RepaintNow ", LogPane | coLazyWrite, Turn::RepaintEachLine},
        };
        std::printf("%d log lines into an 80 x 50 console, 600 x 300 pixels\n", Lines);
        for (const Case& c : cases) {
            double ms = Run(host, c.options, c.turn);
            std::printf("%s %9.1f ms  %7.1f us/line\n", c.name, ms, ms * 1000.0 / Lines);
        }
        std::fflush(stdout);
        // Leaves the host window to process exit: hiding one costs seconds under Wine.
        ExitProcess(0);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "console_bench: %s\n", error.what());
        return 1;
    }
}
