#pragma once
// What the console tests share: a host window, consoles set up like the log pane, the
// message queue, and the pixels on screen.
#include <memory>
#include <vector>

#include <windows.h>

#include "console/console.h"
#include "test_support.h"

// A visible top-level window at the screen's top left that holds the consoles under
// test. One serves the whole run: Wine without a window manager takes 2 s to hide one.
HWND TestHost();

// Courier -11, the given options and size, loaded; no window yet.
void Configure(TConsole& console, TConsoleOptions options, int cols, int rows);

// Makes the console's window in the test host with a client area of exactly that many cells,
// and paints it.
void Show(TConsole& console, int visibleCols, int visibleRows);
// Resizes its client area to that many cells.
void ResizeToCells(TConsole& console, int visibleCols, int visibleRows);

// Sends the key down to the window with Ctrl and Shift held as asked, then lets them go.
void PressKey(HWND window, WORD key, bool ctrl = false, bool shift = false);

// Takes every queued message of that number for the window; returns them.
std::vector<MSG> TakeQueued(HWND window, UINT message);

// The client area's pixels as drawn on screen, row after row, as 0xRRGGBB.
class Capture {
public:
    explicit Capture(HWND window);
    int Width() const { return width_; }
    int Height() const { return height_; }
    COLORREF At(int x, int y) const;
    // Pixels of that colour in the rectangle, clipped to the capture.
    int Count(RECT area, COLORREF color) const;
    bool operator==(const Capture& other) const { return pixels_ == other.pixels_; }

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<DWORD> pixels_;
};

// Writes the window (client and frame parts) as a 24-bit BMP file.
void SaveWindowBitmap(HWND window, const char* path);
