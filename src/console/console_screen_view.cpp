// The view onto the cells: its size, its limits and where its origin may go.
#include "console/console_screen.h"

#include <algorithm>

void TConsoleScreen::SetViewSize(int visibleCols, int visibleRows)
{
    visibleCols_ = visibleCols;
    visibleRows_ = visibleRows;
    maxOriginX_ = std::max(0, cols_ - visibleCols_);
    maxOriginY_ = std::max(0, rows_ - visibleRows_);
}

bool TConsoleScreen::MoveOrigin(int column, int row)
{
    int x = std::max(std::min(column, maxOriginX_), 0);
    int y = std::max(std::min(row, maxOriginY_), 0);
    if (x == originX_ && y == originY_)
        return false;
    originX_ = x;
    originY_ = y;
    return true;
}

TCellPoint TConsoleScreen::OriginShowingCursor() const
{
    return {std::max(cursorX_ - visibleCols_ + 1, std::min(originX_, cursorX_)),
            std::max(cursorY_ - visibleRows_ + 1, std::min(originY_, cursorY_))};
}
