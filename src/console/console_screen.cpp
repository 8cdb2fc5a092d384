// The cells, kept as a ring of rows, and the writer.
#include "console/console_screen.h"

#include <algorithm>
#include <cstring>

TConsoleScreen::TConsoleScreen(TScreenEvents& events) : events_(events) { Resize(cols_, rows_); }

void TConsoleScreen::Resize(int cols, int rows)
{
    std::vector<char> cells(static_cast<std::size_t>(cols) * static_cast<std::size_t>(rows), ' ');
    cells_.swap(cells);
    cols_ = cols;
    rows_ = rows;
    firstRow_ = 0;
    cursorX_ = cursorY_ = 0;
    originX_ = originY_ = 0;
}

std::size_t TConsoleScreen::CellIndex(int x, int y) const
{
    int row = firstRow_ + y;
    if (row >= rows_)
        row -= rows_;
    return static_cast<std::size_t>(row) * static_cast<std::size_t>(cols_) +
           static_cast<std::size_t>(x);
}

char TConsoleScreen::Cell(int x, int y) const
{
    if (x < 0 || x >= cols_ || y < 0 || y >= rows_)
        return 0;
    return cells_[CellIndex(x, y)];
}

std::string TConsoleScreen::RowText(int y) const
{
    if (y < 0 || y >= rows_)
        return {};
    return std::string(RowCells(0, y), static_cast<std::size_t>(cols_));
}

const char* TConsoleScreen::RowCells(int x, int y) const { return cells_.data() + CellIndex(x, y); }

void TConsoleScreen::PutCells(int x, int y, const char* buffer, int count)
{
    if (count <= 0 || x < 0 || x >= cols_ || y < 0 || y >= rows_)
        return;
    std::memcpy(&cells_[CellIndex(x, y)], buffer,
                static_cast<std::size_t>(std::min(count, cols_ - x)));
}

void TConsoleScreen::FillCells(int x, int y, char ch, int count)
{
    if (count <= 0 || x < 0 || x >= cols_ || y < 0 || y >= rows_)
        return;
    int first = std::min(count, cols_ - x);
    std::memset(&cells_[CellIndex(x, y)], ch, static_cast<std::size_t>(first));
    count -= first;
    for (int row = y + 1; row < rows_ && count > 0; ++row) {
        int n = std::min(count, cols_);
        std::memset(&cells_[CellIndex(0, row)], ch, static_cast<std::size_t>(n));
        count -= n;
    }
}

void TConsoleScreen::Write(const char* buffer, int count)
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
            events_.PutCells(cursorX_, cursorY_, next, run);
            cursorX_ += run;
            dirtyTo_ = std::max(dirtyTo_, cursorX_);
            next += run;
            remaining -= run;
            if (run == n && cursorX_ >= cols_) {
                // A full row wraps at once, even when nothing follows.
                ReportSpan();
                CarriageReturn();
                LineFeed();
            }
            continue;
        }
        switch (*next) {
        case 7:
            events_.Bell();
            break;
        case 8:
            if (cursorX_ > 0) {
                --cursorX_;
                events_.FillCells(cursorX_, cursorY_, ' ', 1);
                dirtyFrom_ = std::min(dirtyFrom_, cursorX_);
            }
            break;
        case 10:
            ReportSpan();
            if (lineBreak_ == TConsoleLineBreak::LF)
                CarriageReturn();
            LineFeed();
            break;
        case 13:
            ReportSpan();
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
    ReportSpan();
}

void TConsoleScreen::ReportSpan()
{
    if (dirtyTo_ > dirtyFrom_)
        events_.SpanChanged(cursorY_, dirtyFrom_, dirtyTo_);
}

void TConsoleScreen::CarriageReturn()
{
    cursorX_ = 0;
    dirtyFrom_ = dirtyTo_ = 0;
}

void TConsoleScreen::LineFeed()
{
    ++cursorY_;
    if (cursorY_ < rows_)
        return;
    // The oldest row becomes the newest, blank; no memory moves.
    cursorY_ = rows_ - 1;
    if (++firstRow_ == rows_)
        firstRow_ = 0;
    events_.FillCells(0, cursorY_, ' ', cols_);
    // Every kept row's number dropped by one: keep showing the same text, then have the
    // view moved down again, which scrolls the window contents up.
    --originY_;
    events_.ScrollBy(0, 1);
}

void TConsoleScreen::Clear()
{
    events_.FillCells(0, 0, ' ', cols_ * rows_);
    originX_ = originY_ = 0;
    cursorX_ = cursorY_ = 0;
}
