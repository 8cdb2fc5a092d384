// Cost of writing job-log lines into consoles of the log pane's size, with and without
// coLazyWrite; "Write + RepaintNow" without coLazyWrite is how the job log writes. "A full
// repaint alone" (every cell painted again, a line's worth of times, nothing written) is
// what one paint of the client area costs, for scale.
// The cases take turns, a block of lines each, so a noisy machine slows them alike; the
// ratios compare them within this one run. Run it under Wine (scripts/wine-run.sh) or
// on Windows: console_bench.exe [lines], 10,000 by default.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <windows.h>

#include "console/console.h"

namespace {

constexpr int Block = 250;
constexpr TConsoleOptions LogPane = coAutoTracking | coCheckBreak | coFixedPitchOnly;

void PumpMessages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// Each case has a host window of its own, side by side on the screen, so that no case
// paints over another.
HWND MakeHost(int index)
{
    static const char* className = [] {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "KelvarinConsoleBench";
        if (!RegisterClassA(&windowClass))
            throw std::runtime_error("RegisterClass failed");
        return windowClass.lpszClassName;
    }();
    HWND host = CreateWindowExA(0, className, "console bench", WS_POPUP | WS_VISIBLE,
                                index % 2 * 620, index / 2 * 320, 600, 300, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    if (!host)
        throw std::runtime_error("CreateWindowEx failed");
    return host;
}

std::string LogLine(int number)
{
    char line[96];
    std::snprintf(
        line, sizeof line, "05.14.24 %02d:%02d:%02d AM job %d: page %d merged into FAX%05d.TIF\r\n",
        1 + number / 3600 % 12, number / 60 % 60, number % 60, number / 8, number % 8, number);
    return line;
}

// What follows each line.
enum class Then { Nothing, RepaintNow, FullRepaint };

struct Case {
    const char* name;
    TConsoleOptions options;
    bool write;
    Then then;
    std::unique_ptr<TConsole> console{};
    double ms = 0;
};

void SetUp(Case& c, int index)
{
    c.console = std::make_unique<TConsole>();
    TConsole& console = *c.console;
    console.SetOptions(c.options);
    console.SetRows(50);
    console.Font().SetHeight(-11);
    console.Font().SetName("Courier");
    console.Loaded();
    console.CreateHandle(MakeHost(index));
    console.SetBounds(0, 0, 600, 300);
    PumpMessages();
}

// Lines first to end, then the message queue drained and the screen up to date.
void RunBlock(Case& c, int first, int end)
{
    TConsole& console = *c.console;
    LARGE_INTEGER frequency, start, stop;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    for (int line = first; line < end; ++line) {
        if (c.write)
            console.Write(LogLine(line));
        if (c.then == Then::RepaintNow) {
            console.RepaintNow();
        } else if (c.then == Then::FullRepaint) {
            InvalidateRect(console.Handle(), nullptr, FALSE);
            UpdateWindow(console.Handle());
        }
    }
    PumpMessages();
    UpdateWindow(console.Handle());
    QueryPerformanceCounter(&stop);
    c.ms += double(stop.QuadPart - start.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        int lines = argc > 1 ? std::atoi(argv[1]) : 10000;
        if (lines < 1)
            throw std::runtime_error("usage: console_bench [lines]");
        std::vector<Case> cases;
        cases.push_back(
            {"without coLazyWrite, Write + RepaintNow", LogPane, true, Then::RepaintNow});
        cases.push_back({"without coLazyWrite, Write             ", LogPane, true, Then::Nothing});
        cases.push_back({"with coLazyWrite,    Write + RepaintNow", LogPane | coLazyWrite, true,
                         Then::RepaintNow});
        cases.push_back({"with coLazyWrite,    Write             ", LogPane | coLazyWrite, true,
                         Then::Nothing});
        cases.push_back(
            {"a full repaint alone, nothing written  ", LogPane, false, Then::FullRepaint});
        for (std::size_t i = 0; i < cases.size(); ++i)
            SetUp(cases[i], int(i));

        for (int first = 0; first < lines; first += Block)
            for (Case& c : cases)
                RunBlock(c, first, std::min(first + Block, lines));

        std::printf("%d log lines into 80 x 50 consoles, 600 x 300 pixels, %d lines a turn\n",
                    lines, Block);
        const double lazyWrite = cases[3].ms;
        for (const Case& c : cases)
            std::printf("%s %9.1f ms  %7.1f us/line  %5.2f x lazy Write\n", c.name, c.ms,
                        c.ms * 1000.0 / lines, c.ms / lazyWrite);
        std::printf("log pane (eager Write + RepaintNow) / lazy Write + RepaintNow: %.2f\n",
                    cases[0].ms / cases[2].ms);
        std::printf("log pane (eager Write + RepaintNow) / a full repaint alone:    %.2f\n",
                    cases[0].ms / cases[4].ms);
        std::fflush(stdout);
        // Leaves the host windows to process exit: hiding one costs seconds under Wine.
        ExitProcess(0);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "console_bench: %s\n", error.what());
        return 1;
    }
}
