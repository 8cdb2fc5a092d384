// Painting the cells, the caret, and the font check with its cell metrics.
#include "console/console.h"

#include <algorithm>

#include "base/scoped_handle.h"

bool IsFixedPitchFont(BYTE pitchAndFamily)
{
    // Family bits 0x10 or 0x20: Roman, Swiss, Modern or Decorative. In text metrics a
    // set bit 0x01 means variable pitch.
    return (pitchAndFamily & 0x30) != 0 && (pitchAndFamily & 0x01) == 0;
}

void TConsole::Invalidate(const RECT* area)
{
    InvalidateRect(handle_, area, FALSE);
    invalidated_ = true;
}

void TConsole::Paint()
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(handle_, &paint);
    invalidated_ = false;  // the whole update region is valid from here
    if (!dc)
        return;
    try {
        SelectedFont font(dc, font_.Handle());
        PaintCells(dc);
    } catch (...) {
        EndPaint(handle_, &paint);  // validated all the same: no endless repaint
        throw;
    }
    EndPaint(handle_, &paint);
}

void TConsole::PaintCells(HDC dc)
{
    SetTextColor(dc, ColorToRGB(font_.Color()));
    SetBkColor(dc, ColorToRGB(font_.BkColor()));
    SetBkMode(dc, OPAQUE);
    // From here on drawing is in buffer coordinates.
    SetViewportOrgEx(dc, -OriginX() * cellWidth_, -OriginY() * cellHeight_, nullptr);
    RECT clip;
    if (GetClipBox(dc, &clip) == ERROR)
        return;

    int firstCol = 0, endCol = 0, firstRow = 0, endRow = 0;
    if (cellWidth_ > 0 && cellHeight_ > 0) {
        firstCol = std::max(OriginX(), (int(clip.left) - overhang_) / cellWidth_);
        endCol = std::min(Cols(), (int(clip.right) + cellWidth_) / cellWidth_);
        firstRow = std::max(0, int(clip.top) / cellHeight_);
        endRow = std::min(Rows(), (int(clip.bottom) + cellHeight_ - 1) / cellHeight_);
    }
    int count = std::max(0, endCol - firstCol);
    bool cells = count > 0 && firstRow < endRow;
    // The first row's call fills the whole clip box with the background colour: no
    // separate erase, and areas beyond the buffer show only that colour.
    ExtTextOutA(dc, firstCol * cellWidth_, firstRow * cellHeight_, ETO_OPAQUE, &clip,
                cells ? screen_.RowCells(firstCol, firstRow) : "", cells ? UINT(count) : 0,
                nullptr);
    if (!cells)
        return;
    for (int row = firstRow + 1; row < endRow; ++row)
        ExtTextOutA(dc, firstCol * cellWidth_, row * cellHeight_, 0, nullptr,
                    screen_.RowCells(firstCol, row), UINT(count), nullptr);
}

bool TConsole::CaretWanted() const
{
    return focused_ && (reading_ || (options_ & coFulltimeCursor));
}

void TConsole::ShowCursor()
{
    if (!handle_)
        return;
    if (!CreateCaret(handle_, nullptr, cellWidth_, 2))
        return;  // no caret to show; the text is unaffected
    // The bar lies just under the baseline of the cursor cell.
    SetCaretPos((CursorX() - OriginX()) * cellWidth_,
                (CursorY() - OriginY()) * cellHeight_ + caretOffset_);
    ShowCaret(handle_);
}

void TConsole::HideCursor() { DestroyCaret(); }

void TConsole::FontChanged()
{
    fontChangedSinceRepaint_ = true;
    if (lastFontForgotten_ || !font_.SameFace(*lastFont_)) {
        TEXTMETRICA metrics = MeasureFont();
        if ((options_ & coFixedPitchOnly) && !IsFixedPitchFont(metrics.tmPitchAndFamily))
            RefuseFont();
        SetMetrics(metrics);
    }
    lastFont_ = std::make_unique<TFixedFont>(font_);
    lastFontForgotten_ = false;
}

TEXTMETRICA TConsole::MeasureFont()
{
    HFONT font = font_.Handle();
    ScreenDC screen;
    if (!screen.Get())
        throw Exception("TConsole: no screen device context to measure the font " + font_.Name());
    TEXTMETRICA metrics{};
    BOOL measured;
    {
        SelectedFont selected(screen.Get(), font);
        measured = GetTextMetricsA(screen.Get(), &metrics);
    }
    if (!measured)
        throw Exception("TConsole: the font " + font_.Name() + " cannot be measured");
    return metrics;
}

void TConsole::RefuseFont()
{
    std::string message = ("TConsole: " + font_.Name()).substr(0, 41);
    message = (message + " is not fixed-pitch").substr(0, 60);
    // Putting the face name back is a font change too; it finds the accepted font again.
    font_.SetName(lastFont_->Name());
    throw EInvalidFont(message);
}

void TConsole::SetMetrics(const TEXTMETRICA& metrics)
{
    cellWidth_ = int(metrics.tmAveCharWidth);
    cellHeight_ = int(metrics.tmHeight + metrics.tmExternalLeading);
    caretOffset_ = int(metrics.tmAscent);
    overhang_ = int(std::max(metrics.tmOverhang, metrics.tmMaxCharWidth - metrics.tmAveCharWidth));
    if (handle_)
        Invalidate(nullptr);
    UpdateLayout();
}

void TConsole::ResetFont()
{
    cellWidth_ = cellHeight_ = caretOffset_ = overhang_ = 0;
    lastFont_ = std::make_unique<TFixedFont>();
    lastFontForgotten_ = true;
    FontChanged();
}
