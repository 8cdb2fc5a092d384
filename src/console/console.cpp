// Construction, the buffer's size and writing.
#include "console/console.h"

#include <algorithm>
#include <climits>

TConsole::TConsole()
{
    SetOptions(coAutoTracking | coCheckBreak | coLazyWrite | coFixedPitchOnly);
    LOGFONTA stock{};
    if (GetObjectA(GetStockObject(ANSI_FIXED_FONT), sizeof stock, &stock) == sizeof stock) {
        lastFont_ = std::make_unique<TFixedFont>(stock);
    } else {
        lastFont_ = std::make_unique<TFixedFont>();
        lastFontForgotten_ = true;
    }
    font_.SetName("Courier");  // before the check is wired: no measuring yet
    font_.OnChange = [this] { FontChanged(); };
}

TConsole::~TConsole()
{
    try {
        SetOptions(TConsoleOptions(options_ & ~(coStdInput | coStdOutput)));
    } catch (...) {
        // Closing a console stream delivers its last text; a failing hook cannot stop
        // the console going away.
    }
    font_.OnChange = nullptr;
    if (handle_)
        DestroyWindow(handle_);
}

void TConsole::Loaded()
{
    Clear();
    ResetFont();
}

void TConsole::SetCols(int cols)
{
    if (cols != Cols())
        SetBufferSize(cols, Rows());
}

void TConsole::SetRows(int rows)
{
    if (rows != Rows())
        SetBufferSize(Cols(), rows);
}

void TConsole::SetBufferSize(int cols, int rows)
{
    if (cols < 1 || rows < 1)
        throw Exception("TConsole: Cols and Rows must be at least 1");
    if (static_cast<long long>(cols) * rows > INT_MAX)
        throw Exception("TConsole: a buffer of Cols x Rows cells is too large");
    // The new buffer is blank: it starts like a cleared screen.
    screen_.Resize(cols, rows);
    DiscardPendingScroll();
    if (handle_) {
        UpdateLayout();
        Invalidate(nullptr);
    }
}

void TConsole::PutCells(int x, int y, const char* buffer, int count)
{
    screen_.PutCells(x, y, buffer, count);
}

void TConsole::FillCells(int x, int y, char ch, int count) { screen_.FillCells(x, y, ch, count); }

void TConsole::Write(std::string_view text)
{
    // A text handed on is counted in 32 bits; log lines are far shorter.
    WriteBuffer(text.data(),
                static_cast<std::uint32_t>(std::min<std::size_t>(text.size(), UINT32_MAX)));
}

void TConsole::WriteChar(char c) { WriteBuffer(&c, 1); }

void TConsole::WriteBuffer(const char* Buffer, std::uint32_t Count)
{
    if (processControlCodes_) {
        processControlCodes_(*this, Buffer, Count);
        return;
    }
    // The writer counts in signed 32 bits: a longer text goes in pieces.
    do {
        int piece = static_cast<int>(std::min<std::uint32_t>(Count, INT_MAX));
        WriteCodedBuffer(Buffer, piece);
        Buffer += piece;
        Count -= static_cast<std::uint32_t>(piece);
    } while (Count > 0);
}

void TConsole::WriteCodedBuffer(const char* buffer, int count)
{
    screen_.Write(buffer, count);
    if (options_ & coAutoTracking)
        RequestTrackCursor();
    // Without coLazyWrite the text is on screen when the write returns: one paint for
    // the written cells and the view's moves, not one for each.
    if (handle_ && !(options_ & coLazyWrite) && invalidated_)
        UpdateWindow(handle_);
    if (focused_ && (options_ & coFulltimeCursor))
        ShowCursor();
}

void TConsole::SpanChanged(int y, int from, int to)
{
    if (!handle_)
        return;
    RECT span;
    span.left = (from - OriginX()) * cellWidth_;
    span.top = (y - OriginY()) * cellHeight_;
    span.right = (to - OriginX()) * cellWidth_ + overhang_;
    span.bottom = span.top + cellHeight_;
    Invalidate(&span);
}

void TConsole::Bell() { MessageBeep(0); }

void TConsole::Clear()
{
    screen_.Clear();
    // A queued lazy scroll belonged to the text just wiped: it would move the fresh view.
    DiscardPendingScroll();
    if (handle_) {
        Invalidate(nullptr);
        UpdateScrollBars();
    }
}

void TConsole::RepaintNow()
{
    if (!handle_)
        return;
    // Outside the update region the screen already shows what a paint would draw (the
    // control invalidates every change it makes), except after a font change. Painting
    // it all again would change nothing and cost a whole repaint for each log line.
    if (fontChangedSinceRepaint_) {
        Invalidate(nullptr);
        fontChangedSinceRepaint_ = false;
    }
    UpdateWindow(handle_);
}
