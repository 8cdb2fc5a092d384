#include "console_test_support.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <string>

namespace {

constexpr char HostClass[] = "KelvarinConsoleTestHost";

void Require(bool ok, const char* what)
{
    if (!ok)
        throw std::runtime_error(std::string(what) + " failed, error " +
                                 std::to_string(GetLastError()));
}

// Grabs width x height pixels of a device context into a top-down 32-bit bitmap.
std::vector<DWORD> Grab(HDC source, int x, int y, int width, int height)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    Require(bitmap != nullptr, "CreateDIBSection");
    HDC memory = CreateCompatibleDC(source);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BOOL copied = BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY);
    GdiFlush();
    std::vector<DWORD> pixels(static_cast<const DWORD*>(bits),
                              static_cast<const DWORD*>(bits) + std::size_t(width) * height);
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(bitmap);
    Require(copied, "BitBlt");
    return pixels;
}

}  // namespace

HWND TestHost()
{
    static HWND host = [] {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.hbrBackground = HBRUSH(GetStockObject(GRAY_BRUSH));
        windowClass.lpszClassName = HostClass;
        Require(RegisterClassA(&windowClass) != 0, "RegisterClass of the host");
        HWND window =
            CreateWindowExA(0, HostClass, "console test", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN,
                            0, 0, 900, 700, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        Require(window != nullptr, "CreateWindowEx of the host");
        SetForegroundWindow(window);
        PumpMessages();
        return window;
    }();
    return host;
}

void Configure(TConsole& console, TConsoleOptions options, int cols, int rows)
{
    console.SetOptions(options);
    console.SetCols(cols);
    console.SetRows(rows);
    console.SetLineBreak(TConsoleLineBreak::CRLF);
    console.Font().SetHeight(-11);
    console.Font().SetName("Courier");
    console.Loaded();
}

void ResizeToCells(TConsole& console, int visibleCols, int visibleRows)
{
    int width = visibleCols * console.CellWidth() + GetSystemMetrics(SM_CXVSCROLL);
    int height = visibleRows * console.CellHeight() + GetSystemMetrics(SM_CYHSCROLL);
    console.SetBounds(0, 0, width, height);
}

void Show(TConsole& console, int visibleCols, int visibleRows)
{
    console.CreateHandle(TestHost());
    ResizeToCells(console, visibleCols, visibleRows);
    PumpMessages();
    console.RepaintNow();
}

void PressKey(HWND window, WORD key, bool ctrl, bool shift)
{
    BYTE state[256];
    GetKeyboardState(state);
    state[VK_CONTROL] = ctrl ? 0x80 : 0;
    state[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(state);
    SendMessageA(window, WM_KEYDOWN, key, 1);
    state[VK_CONTROL] = state[VK_SHIFT] = 0;
    SetKeyboardState(state);
}

std::vector<MSG> TakeQueued(HWND window, UINT number)
{
    std::vector<MSG> taken;
    MSG message;
    while (PeekMessageA(&message, window, number, number, PM_REMOVE))
        taken.push_back(message);
    return taken;
}

Capture::Capture(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    width_ = client.right;
    height_ = client.bottom;
    HDC dc = GetDC(window);
    Require(dc != nullptr, "GetDC");
    try {
        pixels_ = Grab(dc, 0, 0, width_, height_);
    } catch (...) {
        ReleaseDC(window, dc);
        throw;
    }
    ReleaseDC(window, dc);
}

COLORREF Capture::At(int x, int y) const
{
    DWORD bgr = pixels_.at(std::size_t(y) * width_ + x);
    return RGB((bgr >> 16) & 0xFF, (bgr >> 8) & 0xFF, bgr & 0xFF);
}

int Capture::Count(RECT area, COLORREF color) const
{
    int found = 0;
    for (int y = std::max<int>(0, area.top); y < std::min<int>(height_, area.bottom); ++y)
        for (int x = std::max<int>(0, area.left); x < std::min<int>(width_, area.right); ++x)
            found += At(x, y) == color;
    return found;
}

void SaveWindowBitmap(HWND window, const char* path)
{
    RECT frame;
    GetWindowRect(window, &frame);
    int width = frame.right - frame.left;
    int height = frame.bottom - frame.top;
    HDC dc = GetWindowDC(window);
    Require(dc != nullptr, "GetWindowDC");
    std::vector<DWORD> pixels = Grab(dc, 0, 0, width, height);
    ReleaseDC(window, dc);

    int stride = (width * 3 + 3) & ~3;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;  // bottom-up
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = DWORD(stride * height);
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + info.biSizeImage;

    FILE* out = std::fopen(path, "wb");
    Require(out != nullptr, "fopen of the screenshot");
    std::fwrite(&file, sizeof file, 1, out);
    std::fwrite(&info, sizeof info, 1, out);
    std::vector<unsigned char> row(std::size_t(stride), 0);
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            DWORD bgr = pixels[std::size_t(y) * width + x];
            row[std::size_t(x) * 3] = bgr & 0xFF;
            row[std::size_t(x) * 3 + 1] = (bgr >> 8) & 0xFF;
            row[std::size_t(x) * 3 + 2] = (bgr >> 16) & 0xFF;
        }
        std::fwrite(row.data(), row.size(), 1, out);
    }
    bool written = std::fclose(out) == 0;
    Require(written, "writing the screenshot");
}
