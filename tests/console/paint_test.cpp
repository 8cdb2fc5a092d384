// What reaches the screen: cells at their place, the background, scrolled pixels, and
// a screenshot of a log for people to look at.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <utility>
#include <string>

#include "console_test_support.h"

namespace {

constexpr COLORREF Ink = RGB(255, 255, 0);
constexpr COLORREF Paper = RGB(0, 0, 128);

class Painting : public ::testing::Test {
protected:
    void Colour()
    {
        console.Font().SetColor(Ink);
        console.Font().SetBkColor(Paper);
    }

    TConsole console;
};

std::string LogLine(int number)
{
    char line[96];
    std::snprintf(
        line, sizeof line, "05.14.24 %02d:%02d:%02d AM job %d: page %d merged into FAX%04d.TIF\r\n",
        9 + number / 60, number % 60, (number * 7) % 60, 1 + number / 8, 1 + number % 8, number);
    return line;
}

// Every cell painted again, whatever the control thinks is up to date.
void RepaintAll(TConsole& console)
{
    InvalidateRect(console.Handle(), nullptr, FALSE);
    UpdateWindow(console.Handle());
}

// What the screen shows after the control's own partial updates must be what a full
// repaint shows.
bool ScreenAsRepainted(TConsole& console)
{
    PumpMessages();
    Capture updated(console.Handle());
    RepaintAll(console);
    return updated == Capture(console.Handle());
}

}  // namespace

TEST_F(Painting, TextLandsInItsCellAndBeyondTheBufferIsBackgroundOnly)
{
    Configure(console, coFixedPitchOnly, 10, 5);
    Colour();
    Show(console, 20, 12);  // the window is larger than the buffer
    console.Write("\r\n\r\n   X");
    console.RepaintNow();

    Capture shot(console.Handle());
    int w = console.CellWidth(), h = console.CellHeight();
    RECT whole{0, 0, shot.Width(), shot.Height()};
    RECT cell{3 * w, 2 * h, 4 * w, 3 * h};
    int inkInCell = (w * h) - shot.Count(cell, Paper);
    EXPECT_GT(inkInCell, 0) << "the X is drawn in cell (3, 2)";
    EXPECT_EQ(shot.Count(whole, Paper), shot.Width() * shot.Height() - inkInCell)
        << "every other pixel, inside the buffer and beyond it, is the background colour";
}

TEST_F(Painting, ColourChangesWaitForTheNextPaint)
{
    Configure(console, coFixedPitchOnly, 10, 5);
    Show(console, 20, 12);
    PumpMessages();
    int width = console.CellWidth();
    console.Font().SetBkColor(Paper);
    console.Font().SetColor(Ink);
    EXPECT_FALSE(GetUpdateRect(console.Handle(), nullptr, FALSE)) << "nothing repainted at once";
    EXPECT_EQ(console.CellWidth(), width);
    console.RepaintNow();
    Capture shot(console.Handle());
    RECT whole{0, 0, shot.Width(), shot.Height()};
    EXPECT_EQ(shot.Count(whole, Paper), shot.Width() * shot.Height())
        << "RepaintNow paints every cell, blank ones, in the new colours";
}

TEST_F(Painting, ScrolledPixelsMatchAFullRepaint)
{
    for (TConsoleOptions lazy : {TConsoleOptions(0), coLazyWrite}) {
        TConsole scrolled;
        Configure(scrolled, coAutoTracking | coFixedPitchOnly | lazy, 80, 50);
        scrolled.Font().SetColor(Ink);
        scrolled.Font().SetBkColor(Paper);
        scrolled.CreateHandle(TestHost());
        // Ten and a half rows: the strip below the whole rows is painted too.
        scrolled.SetBounds(0, 0, 40 * scrolled.CellWidth() + GetSystemMetrics(SM_CXVSCROLL),
                           21 * scrolled.CellHeight() / 2 + GetSystemMetrics(SM_CYHSCROLL));
        PumpMessages();
        for (int line = 0; line < 70; ++line) {
            scrolled.Write(LogLine(line));
            if (line % 4 == 0)
                PumpMessages();
        }
        EXPECT_TRUE(ScreenAsRepainted(scrolled)) << "log written, lazy " << int(lazy);

        const std::pair<WORD, bool> keys[] = {{VK_END, false},   {VK_HOME, true}, {VK_NEXT, false},
                                              {VK_RIGHT, false}, {VK_LEFT, true}, {VK_END, true}};
        for (auto [key, ctrl] : keys) {
            PressKey(scrolled.Handle(), key, ctrl);
            EXPECT_TRUE(ScreenAsRepainted(scrolled))
                << "after key " << key << (ctrl ? " with Ctrl" : "") << ", lazy " << int(lazy);
        }
    }
}

TEST_F(Painting, EagerWritesAreOnScreenWhenTheyReturn)
{
    Configure(console, coAutoTracking | coFixedPitchOnly, 80, 30);
    Colour();
    Show(console, 40, 10);
    // Lines that fit, lines that scroll the view, and a write of several lines at once.
    const std::string writes[] = {
        LogLine(1), LogLine(2) + LogLine(3), std::string(40, '\n'),
        LogLine(4), "no line end",           "\r\n" + LogLine(5) + LogLine(6)};
    for (const std::string& text : writes) {
        console.Write(text);
        EXPECT_FALSE(GetUpdateRect(console.Handle(), nullptr, FALSE)) << "nothing left to paint";
        Capture written(console.Handle());
        RepaintAll(console);
        EXPECT_TRUE(written == Capture(console.Handle())) << "after writing " << text;
    }
}

TEST_F(Painting, ScreenshotOfAJobLog)
{
    // Set up as the main window's log pane, in a 600 x 300 window.
    Configure(console, coAutoTracking | coCheckBreak | coFixedPitchOnly, 80, 50);
    console.CreateHandle(TestHost());
    console.SetBounds(0, 0, 600, 300);
    for (int line = 1; line <= 60; ++line) {
        console.Write(LogLine(line));
        console.RepaintNow();
    }
    EXPECT_EQ(console.OriginY(), console.MaxOriginY()) << "the newest line is in view";
    EXPECT_EQ(console.RowText(48).substr(0, 40), LogLine(60).substr(0, 40));

    if (const char* path = std::getenv("CONSOLE_SCREENSHOT")) {
        SaveWindowBitmap(console.Handle(), path);
        std::printf("screenshot: %s\n", path);
    }
}
