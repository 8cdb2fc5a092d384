// Construction, the cell buffer and the writer.
#include "console/console.h"

#include <algorithm>
#include <climits>
#include <cstring>

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
    ResizeBuffer();
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
    if (cols != cols_)
        SetBufferSize(cols, rows_);
}

void TConsole::SetRows(int rows)
{
    if (rows != rows_)
        SetBufferSize(cols_, rows);
}

void TConsole::SetBufferSize(int cols, int rows)
{
    if (cols < 1 || rows < 1)
        throw Exception("TConsole: Cols and Rows must be at least 1");
    if (static_cast<long long>(cols) * rows > INT_MAX)
        throw Exception("TConsole: a buffer of Cols x Rows cells is too large");
    int oldCols = cols_;
    int oldRows = rows_;
    cols_ = cols;
    rows_ = rows;
    try {
        ResizeBuffer();
    } catch (...) {
        cols_ = oldCols;
        rows_ = oldRows;
        throw;
    }
    // The new buffer is blank: start it like a cleared screen.
    firstRow_ = 0;
    cursorX_ = cursorY_ = 0;
    originX_ = originY_ = 0;
    DiscardPendingScroll();
    if (handle_) {
        UpdateLayout();
        InvalidateRect(handle_, nullptr, FALSE);
    }
}

void TConsole::ResizeBuffer()
{
    std::vector<char> cells(static_cast<std::size_t>(cols_) * rows_, ' ');
    screenBuffer_.swap(cells);
}

char* TConsole::CellAddress(int x, int y)
{
    int row = firstRow_ + y;
    if (row >= rows_)
        row -= rows_;
    return screenBuffer_.data() + static_cast<std::size_t>(row) * cols_ + x;
}

const char* TConsole::CellAddress(int x, int y) const
{
    return const_cast<TConsole*>(this)->CellAddress(x, y);
}

char TConsole::Cell(int x, int y) const
{
    if (x < 0 || x >= cols_ || y < 0 || y >= rows_)
        return 0;
    return *CellAddress(x, y);
}

std::string TConsole::RowText(int y) const
{
    if (y < 0 || y >= rows_)
        return {};
    return std::string(CellAddress(0, y), static_cast<std::size_t>(cols_));
}

void TConsole::PutCells(int x, int y, const char* buffer, int count)
{
    if (count <= 0 || x < 0 || x >= cols_ || y < 0 || y >= rows_)
        return;
    std::memcpy(CellAddress(x, y), buffer, static_cast<std::size_t>(std::min(count, cols_ - x)));
}

void TConsole::FillCells(int x, int y, char ch, int count)
{
    if (count <= 0 || x < 0 || x >= cols_ || y < 0 || y >= rows_)
        return;
    int first = std::min(count, cols_ - x);
    std::memset(CellAddress(x, y), ch, static_cast<std::size_t>(first));
    count -= first;
    for (int row = y + 1; row < rows_ && count > 0; ++row) {
        int n = std::min(count, cols_);
        std::memset(CellAddress(0, row), ch, static_cast<std::size_t>(n));
        count -= n;
    }
}

void TConsole::Write(std::string_view text)
{
    // A text handed on is counted in 32 bits; log lines are far shorter.
    WriteBuffer(text.data(), static_cast<std::uint32_t>(std::min<std::size_t>(text.size(), UINT32_MAX)));
}

void TConsole::WriteChar(char c)
{
    WriteBuffer(&c, 1);
}

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
    const char* next = buffer;
    int remaining = std::max(count, 0);
    dirtyFrom_ = dirtyTo_ = cursorX_;
    while (remaining > 0) {
        int n = std::min(cols_ - cursorX_, remaining);
        int run = 0;
        while (run < n && static_cast<unsigned char>(next[run]) >= 32)
            ++run;
        if (run > 0) {
            PutCells(cursorX_, cursorY_, next, run);
            cursorX_ += run;
            dirtyTo_ = std::max(dirtyTo_, cursorX_);
            next += run;
            remaining -= run;
            if (run == n && cursorX_ >= cols_) {
                // A full row wraps at once, even when nothing follows.
                InvalidateSpan(dirtyFrom_, dirtyTo_);
                CarriageReturn();
                LineFeed();
            }
            continue;
        }
        switch (*next) {
        case 7:
            MessageBeep(0);
            break;
        case 8:
            if (cursorX_ > 0) {
                --cursorX_;
                FillCells(cursorX_, cursorY_, ' ', 1);
                dirtyFrom_ = std::min(dirtyFrom_, cursorX_);
            }
            break;
        case 10:
            InvalidateSpan(dirtyFrom_, dirtyTo_);
            if (lineBreak_ == TConsoleLineBreak::LF)
                CarriageReturn();
            LineFeed();
            break;
        case 13:
            InvalidateSpan(dirtyFrom_, dirtyTo_);
            CarriageReturn();
            if (lineBreak_ == TConsoleLineBreak::CR)
                LineFeed();
            break;
        default:
            break;  // other control codes leave no trace
        }
        ++next;
        --remaining;
    }
    InvalidateSpan(dirtyFrom_, dirtyTo_);
    if (options_ & coAutoTracking)
        RequestTrackCursor();
    if (focused_ && (options_ & coFulltimeCursor))
        ShowCursor();
}

void TConsole::CarriageReturn()
{
    cursorX_ = 0;
    dirtyFrom_ = dirtyTo_ = 0;
}

void TConsole::LineFeed()
{
    ++cursorY_;
    if (cursorY_ < rows_)
        return;
    // The oldest row becomes the newest, blank; no memory moves.
    cursorY_ = rows_ - 1;
    if (++firstRow_ == rows_)
        firstRow_ = 0;
    FillCells(0, cursorY_, ' ', cols_);
    // Every kept row's number dropped by one: keep showing the same text, then move
    // the view down again, which scrolls the window contents up.
    --originY_;
    ScrollBy(0, 1);
}

void TConsole::InvalidateSpan(int from, int to)
{
    if (!handle_ || to <= from)
        return;
    RECT span;
    span.left = (from - originX_) * cellWidth_;
    span.top = (cursorY_ - originY_) * cellHeight_;
    span.right = (to - originX_) * cellWidth_ + overhang_;
    span.bottom = span.top + cellHeight_;
    InvalidateRect(handle_, &span, FALSE);
    if (!(options_ & coLazyWrite))
        UpdateWindow(handle_);
}

void TConsole::Clear()
{
    FillCells(0, 0, ' ', cols_ * rows_);
    originX_ = originY_ = 0;
    cursorX_ = cursorY_ = 0;
    // A queued lazy scroll belonged to the text just wiped: it would move the fresh view.
    DiscardPendingScroll();
    if (handle_) {
        InvalidateRect(handle_, nullptr, FALSE);
        UpdateScrollBars();
    }
}

void TConsole::RepaintNow()
{
    if (!handle_)
        return;
    InvalidateRect(handle_, nullptr, FALSE);
    UpdateWindow(handle_);
}
