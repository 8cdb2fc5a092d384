#pragma once
// TConsole: a child window that behaves like the screen of a text terminal. A grid of
// Cols x Rows character cells kept as a ring of rows, a write cursor, a view onto the
// grid moved by scroll bars and keys, an underline caret, and a fixed-pitch font.
// Text written on the last row pushes the oldest row out.
//
// Making one (the main window's log pane, for example):
//
//     auto console = std::make_unique<TConsole>();       // no window yet
//     console->SetOptions(coAutoTracking | coCheckBreak | coFixedPitchOnly);
//     console->SetRows(50);                               // Cols stays 80
//     console->SetLineBreak(TConsoleLineBreak::CRLF);
//     console->Font().SetColor(clWindowText);
//     console->Font().SetHeight(-11);
//     console->Font().SetName("Courier");                 // may raise EInvalidFont
//     console->Loaded();                                  // blank screen, font measured
//     console->SetBounds(0, 0, width, height);            // parent's client area
//     console->CreateHandle(parentWindow);                // the child window
//     ...
//     console->Write(line);                               // then RepaintNow() to paint
//                                                         // at once without coLazyWrite
//
// The parent sizes it on its own WM_SIZE with SetBounds (or MoveWindow on Handle());
// every size change re-lays the view. Everything runs on the thread that made the
// window, inside its message loop.
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include <windows.h>

#include "base/bound_window.h"
#include "console/console_errors.h"
#include "console/console_screen.h"
#include "console/fixed_font.h"

using TConsoleOptions = std::uint8_t;
constexpr TConsoleOptions coAutoTracking = 0x01;    // the view follows the cursor after writes
constexpr TConsoleOptions coCheckEOF = 0x02;        // Ctrl+Z ends a line read
constexpr TConsoleOptions coCheckBreak = 0x04;      // Ctrl+C and Ctrl+Break call DoBreak
constexpr TConsoleOptions coFulltimeCursor = 0x08;  // caret whenever focused, not only in reads
constexpr TConsoleOptions coLazyWrite = 0x10;       // painting and view moves wait for the loop
constexpr TConsoleOptions coStdInput = 0x20;        // std::cin reads from this console
constexpr TConsoleOptions coStdOutput = 0x40;       // std::cout writes to this console
constexpr TConsoleOptions coFixedPitchOnly = 0x80;  // other fonts raise EInvalidFont

enum class TScrollAxis : std::uint8_t { Horizontal, Vertical };

class TConsole;
class TStandardTextStream;

// Output hook: when set, it gets every text written instead of the built-in writer.
using TProcessControlCodes =
    std::function<void(TConsole& Sender, const char* Buffer, std::uint32_t Count)>;

// Posted by the control to itself.
constexpr UINT UM_TRACK_CURSOR = WM_USER + 100;  // wParam, lParam unused
constexpr UINT UM_SCROLL_BY = WM_USER + 101;     // wParam columns, lParam rows, signed

// The rule for fonts under coFixedPitchOnly, on a text metric's pitch-and-family byte:
// a known family other than Script, and not variable pitch.
bool IsFixedPitchFont(BYTE pitchAndFamily);

// True while any console of the process waits in ReadKey.
extern bool ReadActive;

// An error raised while a console handles a window message cannot travel through the
// system's message dispatch; it is handed to this function. By default it shows the
// message in a message box with the error icon; the program may put its own error box here.
extern void (*ConsoleMessageError)(const std::exception& error);

// The window around a TConsoleScreen: it draws the screen's cells, carries out what the
// screen reports, and moves the screen's view by scroll bars, keys and the cursor.
class TConsole : public BoundWindow<TConsole>, private TScreenEvents {
public:
    static constexpr int KeyBufferSize = 64;

    // Options coAutoTracking, coCheckBreak, coLazyWrite, coFixedPitchOnly; 80 x 25
    // blank cells; font "Courier"; bounds (0, 0, 160, 88). No window yet.
    TConsole();
    // Unbinds the standard streams, then destroys the window.
    virtual ~TConsole();
    TConsole(const TConsole&) = delete;
    TConsole& operator=(const TConsole&) = delete;

    // The step after all properties are set: blank screen, font measured afresh.
    void Loaded();
    // Makes the control's child window of parent at its bounds. Raises Exception when
    // the window cannot be made, or the font error raised while it was made (the
    // window then exists).
    void CreateHandle(HWND parent);
    // Position and size in the parent's client area; moves the window when it exists.
    void SetBounds(int left, int top, int width, int height);

    TConsoleOptions Options() const { return options_; }
    // Binds and unbinds std::cin (coStdInput) and std::cout (coStdOutput). Raises
    // Exception when a stream is already bound to another console.
    void SetOptions(TConsoleOptions options);
    int Cols() const { return screen_.Cols(); }
    int Rows() const { return screen_.Rows(); }
    // A different size gives a blank buffer with cursor, view and ring start at 0.
    // Raises Exception for a size below 1 or a buffer above 2^31 - 1 cells.
    void SetCols(int cols);
    void SetRows(int rows);
    TConsoleLineBreak LineBreak() const { return screen_.LineBreak(); }
    void SetLineBreak(TConsoleLineBreak lineBreak) { screen_.SetLineBreak(lineBreak); }
    // The control's own font; every change of it is checked (EInvalidFont).
    TFixedFont& Font() { return font_; }
    void SetFont(const TFixedFont& font) { font_.Assign(font); }
    void SetProcessControlCodes(TProcessControlCodes hook)
    {
        processControlCodes_ = std::move(hook);
    }

    void Write(std::string_view text);
    void WriteChar(char c);
    void WriteBuffer(const char* Buffer, std::uint32_t Count);
    // The built-in writer, also while a hook is set: printable characters (32 to 255)
    // go to the cursor; bell, backspace, line feed and carriage return act; other
    // control codes are dropped.
    void WriteCodedBuffer(const char* buffer, int count);
    // All cells blank, cursor and view at (0, 0).
    void Clear();
    // Brings the whole control up to date on screen now.
    void RepaintNow();
    void ScrollTo(int column, int row);
    // Moves the view the least needed to show the cursor cell.
    void TrackCursor();
    virtual void ShowCursor();
    void HideCursor();

    // True when a typed character waits; first handles the messages already queued.
    bool KeyPressed();
    // Waits for a typed character while the message loop runs. Raises EInvalidOperation
    // "Read already active" during another wait, Exception when WM_QUIT arrives (which is
    // posted again for the program's own loop).
    char ReadKey();
    // Reads an edited, echoed line ended by Enter (stored as 13, 10), or Ctrl+Z under
    // coCheckEOF; at most capacity - 2 text characters. Returns the count stored.
    // Raises Exception for a capacity below 2.
    int ReadLine(char* buffer, int capacity);

    // State, for callers that look at the screen.
    int CursorX() const { return screen_.CursorX(); }
    int CursorY() const { return screen_.CursorY(); }
    int OriginX() const { return screen_.OriginX(); }
    int OriginY() const { return screen_.OriginY(); }
    int MaxOriginX() const { return screen_.MaxOriginX(); }
    int MaxOriginY() const { return screen_.MaxOriginY(); }
    int VisibleCols() const { return screen_.VisibleCols(); }
    int VisibleRows() const { return screen_.VisibleRows(); }
    int CellWidth() const { return cellWidth_; }
    int CellHeight() const { return cellHeight_; }
    int CaretOffset() const { return caretOffset_; }
    int Overhang() const { return overhang_; }
    int FirstRow() const { return screen_.FirstRow(); }
    int KeyCount() const { return keyCount_; }
    bool Focused() const { return focused_; }
    bool Reading() const { return reading_; }
    // The character of cell (x, y), logical row y; 0 outside the buffer.
    char Cell(int x, int y) const { return screen_.Cell(x, y); }
    // Logical row y as Cols characters.
    std::string RowText(int y) const { return screen_.RowText(y); }

protected:
    virtual void SetMetrics(const TEXTMETRICA& metrics);
    // The writer and Clear reach the cells only through these two; by default they store
    // into the screen (TConsoleScreen::PutCells and FillCells).
    void PutCells(int x, int y, const char* buffer, int count) override;
    void FillCells(int x, int y, char ch, int count) override;
    // Ctrl+C or Ctrl+Break under coCheckBreak; nothing here.
    virtual void DoBreak() {}
    // Sets the stream up to read from or write to this console.
    virtual void AttachTextDevice(TStandardTextStream& stream);

    void DoScroll(TScrollAxis axis, int code, int thumb);
    void ResetFont();

private:
    friend class BoundWindow<TConsole>;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void HandlerFailed(UINT message, const std::exception& error);
    void Paint();
    void PaintCells(HDC dc);
    // InvalidateRect without erasing (nullptr: the whole client area), remembered until
    // the next paint.
    void Invalidate(const RECT* area);
    void KeyDown(WORD key);
    void KeyPress(char c);
    bool CaretWanted() const;

    void SetBufferSize(int cols, int rows);
    void SpanChanged(int y, int from, int to) override;
    void Bell() override;
    void RequestTrackCursor();
    void ScrollBy(int dx, int dy) override;
    void DiscardPendingScroll();
    void UpdateLayout();
    void UpdateScrollBars();
    void MoveThumb(int bar, int position);
    void ScrollByKey(WORD key);

    void FontChanged();
    TEXTMETRICA MeasureFont();
    [[noreturn]] void RefuseFont();

    void WaitForKey();
    void EndRead();

    RECT bounds_{0, 0, 160, 88};
    std::exception_ptr createError_;

    TConsoleOptions options_ = 0;
    bool focused_ = false;
    TFixedFont font_;
    TProcessControlCodes processControlCodes_;
    bool reading_ = false;
    std::unique_ptr<TFixedFont> lastFont_;
    bool lastFontForgotten_ = false;  // the next font check measures whatever the font is
    int keyCount_ = 0;
    TConsoleScreen screen_{*this};
    int cellWidth_ = 0;
    int cellHeight_ = 0;
    int caretOffset_ = 0;
    int overhang_ = 0;
    // The font or its colours changed, which invalidates nothing: the next RepaintNow
    // paints every cell.
    bool fontChangedSinceRepaint_ = true;
    // This control invalidated cells that are not painted yet: an eager Write only paints
    // then (an UpdateWindow with nothing to paint costs tens of microseconds under Wine).
    bool invalidated_ = false;
    char keyBuffer_[KeyBufferSize] = {};
};
