// The view onto the buffer: moving it, following the cursor, scroll bars and keys.
#include "console/console.h"

#include <algorithm>
#include <cstdlib>

void TConsole::TrackCursor()
{
    TCellPoint origin = screen_.OriginShowingCursor();
    ScrollTo(origin.x, origin.y);
}

void TConsole::RequestTrackCursor()
{
    if ((options_ & coLazyWrite) && handle_) {
        MSG queued;
        if (PeekMessageA(&queued, handle_, UM_TRACK_CURSOR, UM_TRACK_CURSOR,
                         PM_NOREMOVE | PM_NOYIELD))
            return;
        if (PostMessageA(handle_, UM_TRACK_CURSOR, 0, 0))
            return;
        // The queue is full: follow the cursor now rather than not at all.
    }
    TrackCursor();
}

void TConsole::ScrollBy(int dx, int dy)
{
    if ((options_ & coLazyWrite) && handle_) {
        MSG queued;
        if (PeekMessageA(&queued, handle_, UM_SCROLL_BY, UM_SCROLL_BY, PM_REMOVE | PM_NOYIELD)) {
            dx += static_cast<int>(static_cast<INT_PTR>(queued.wParam));
            dy += static_cast<int>(queued.lParam);
        }
        int halfWidth = std::min(VisibleCols(), Cols()) / 2;
        int halfHeight = std::min(VisibleRows(), Rows()) / 2;
        if (std::abs(dx) < halfWidth && std::abs(dy) < halfHeight) {
            if (dx == 0 && dy == 0)
                return;
            if (PostMessageA(handle_, UM_SCROLL_BY, static_cast<WPARAM>(static_cast<INT_PTR>(dx)),
                             static_cast<LPARAM>(dy)))
                return;
            // The queue is full: move now, so the merged amount is not lost.
        }
    }
    ScrollTo(OriginX() + dx, OriginY() + dy);
}

void TConsole::DiscardPendingScroll()
{
    MSG queued;
    if (handle_)
        PeekMessageA(&queued, handle_, UM_SCROLL_BY, UM_SCROLL_BY, PM_REMOVE | PM_NOYIELD);
}

void TConsole::ScrollTo(int column, int row)
{
    int ox = OriginX();
    int oy = OriginY();
    if (!screen_.MoveOrigin(column, row))
        return;
    int x = OriginX();
    int y = OriginY();
    if (!handle_)
        return;

    RECT client;
    GetClientRect(handle_, &client);
    RECT area = client;
    if (x > ox)
        area.left += overhang_;
    if (y > oy)
        area.bottom = VisibleRows() * cellHeight_;  // only whole rows move up
    RECT clip = area;
    if (ScrollWindowEx(handle_, (ox - x) * cellWidth_, (oy - y) * cellHeight_, nullptr, &clip,
                       nullptr, &area, 0) == ERROR)
        area = client;  // nothing moved: paint it all

    if (y != oy) {
        MoveThumb(SB_VERT, y);
        if (oy < y)
            area.bottom = client.bottom;  // and the strip below the whole rows, in one go
    }
    if (x != ox) {
        MoveThumb(SB_HORZ, x);
        if (overhang_ > 0) {
            if (x < ox) {
                // Glyphs reaching past the old left edge come back into view.
                area.left = 0;
                area.right = std::max<LONG>(area.right, (ox - x) * cellWidth_ + overhang_);
            } else {
                Invalidate(&area);
                area = RECT{0, 0, overhang_, client.bottom};
            }
        }
    }
    Invalidate(&area);
    // One paint for all that was uncovered, and for cells written before the move.
    UpdateWindow(handle_);
}

void TConsole::MoveThumb(int bar, int position)
{
    // A line feed in a full buffer lowers the origin and scrolls back down, so the thumb
    // is often where it already was; redrawing it then changes nothing on screen and
    // costs milliseconds under Wine.
    if (GetScrollPos(handle_, bar) != position)
        SetScrollPos(handle_, bar, position, TRUE);
}

void TConsole::UpdateLayout()
{
    if (!handle_)
        return;
    RECT client;
    GetClientRect(handle_, &client);
    // No cell size until a font was accepted: nothing fits then.
    screen_.SetViewSize(cellWidth_ > 0 ? client.right / cellWidth_ : 0,
                        cellHeight_ > 0 ? client.bottom / cellHeight_ : 0);
    ScrollTo(std::min(OriginX(), MaxOriginX()), std::min(OriginY(), MaxOriginY()));
    UpdateScrollBars();
}

void TConsole::UpdateScrollBars()
{
    if (!handle_)
        return;
    // Never below 0..1: both bars always show, also when all text fits.
    SetScrollRange(handle_, SB_HORZ, 0, std::max(1, MaxOriginX()), FALSE);
    SetScrollPos(handle_, SB_HORZ, OriginX(), TRUE);
    SetScrollRange(handle_, SB_VERT, 0, std::max(1, MaxOriginY()), FALSE);
    SetScrollPos(handle_, SB_VERT, OriginY(), TRUE);
}

void TConsole::DoScroll(TScrollAxis axis, int code, int thumb)
{
    bool horizontal = axis == TScrollAxis::Horizontal;
    int position = horizontal ? OriginX() : OriginY();
    int page = horizontal ? VisibleCols() / 2 : VisibleRows();
    switch (code) {
    case SB_LINEUP:
        position -= 1;
        break;
    case SB_LINEDOWN:
        position += 1;
        break;
    case SB_PAGEUP:
        position -= page;
        break;
    case SB_PAGEDOWN:
        position += page;
        break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
        position = thumb;
        break;
    case SB_TOP:
        position = 0;
        break;
    case SB_BOTTOM:
        position = horizontal ? MaxOriginX() : MaxOriginY();
        break;
    default:
        break;
    }
    if (horizontal)
        ScrollTo(position, OriginY());
    else
        ScrollTo(OriginX(), position);
}

namespace {

struct ScrollKey {
    WORD key;
    bool ctrlOnly;
    TScrollAxis axis;
    int code;
};

constexpr TScrollAxis H = TScrollAxis::Horizontal;
constexpr TScrollAxis V = TScrollAxis::Vertical;

// First match wins.
constexpr ScrollKey ScrollKeys[] = {
    {VK_LEFT, false, H, SB_LINELEFT}, {VK_RIGHT, false, H, SB_LINERIGHT},
    {VK_LEFT, true, H, SB_PAGELEFT},  {VK_RIGHT, true, H, SB_PAGERIGHT},
    {VK_HOME, false, H, SB_LEFT},     {VK_END, false, H, SB_RIGHT},
    {VK_UP, false, V, SB_LINEUP},     {VK_DOWN, false, V, SB_LINEDOWN},
    {VK_PRIOR, false, V, SB_PAGEUP},  {VK_NEXT, false, V, SB_PAGEDOWN},
    {VK_HOME, true, V, SB_TOP},       {VK_END, true, V, SB_BOTTOM},
};

bool KeyIsDown(int key) { return GetKeyState(key) < 0; }

}  // namespace

void TConsole::ScrollByKey(WORD key)
{
    // A Ctrl entry needs Ctrl alone; a plain entry takes every other shift state.
    bool ctrlOnly = KeyIsDown(VK_CONTROL) && !KeyIsDown(VK_SHIFT) && !KeyIsDown(VK_MENU);
    for (const ScrollKey& entry : ScrollKeys) {
        if (entry.key == key && entry.ctrlOnly == ctrlOnly) {
            DoScroll(entry.axis, entry.code, 0);
            return;
        }
    }
}
