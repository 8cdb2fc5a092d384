#pragma once
// TConsoleScreen: the console's screen without its window. Cols x Rows character cells
// kept as a ring of rows, the write cursor, the writer that stores text and acts on
// control codes, and the view onto the cells: its size, its top left (the origin) and
// how far that may go. Everything is counted in cells; it knows nothing of pixels,
// fonts or messages. TConsole owns one, tells it the window's size in cells, draws its
// cells and carries out what it reports through TScreenEvents.
#include <cstdint>
#include <string>
#include <vector>

enum class TConsoleLineBreak : std::uint8_t { CRLF = 0, CR = 1, LF = 2 };

// What the screen reports to its window while it changes.
class TScreenEvents {
public:
    // The writer and Clear reach the cells only through these two, so that a window may
    // watch or replace them; the plain answer is the screen's own PutCells and FillCells.
    virtual void PutCells(int x, int y, const char* buffer, int count) = 0;
    virtual void FillCells(int x, int y, char ch, int count) = 0;
    // Columns from to to (end exclusive) of logical row y were written.
    virtual void SpanChanged(int y, int from, int to) = 0;
    // A bell character was written.
    virtual void Bell() = 0;
    // A new row pushed the oldest one out. The origin was lowered by one row, so the view
    // still shows the same text; moving it by (dx, dy) scrolls that text up.
    virtual void ScrollBy(int dx, int dy) = 0;

protected:
    ~TScreenEvents() = default;
};

// A cell position: column x, logical row y.
struct TCellPoint {
    int x;
    int y;
};

class TConsoleScreen {
public:
    // 80 x 25 blank cells; cursor, ring start and view at 0; a view of no cells.
    explicit TConsoleScreen(TScreenEvents& events);

    int Cols() const { return cols_; }
    int Rows() const { return rows_; }
    // A blank buffer of the new size; cursor, ring start and origin back at 0. Callers
    // keep both at least 1 and the number of cells at most INT_MAX.
    void Resize(int cols, int rows);
    TConsoleLineBreak LineBreak() const { return lineBreak_; }
    void SetLineBreak(TConsoleLineBreak lineBreak) { lineBreak_ = lineBreak; }

    // count characters into logical row y from column x, cut at the row's end.
    void PutCells(int x, int y, const char* buffer, int count);
    // count cells from (x, y) on, running on into the following rows, cut at the buffer's end.
    void FillCells(int x, int y, char ch, int count);
    // The character of cell (x, y); 0 outside the buffer.
    char Cell(int x, int y) const;
    // Logical row y as Cols characters; empty outside the buffer.
    std::string RowText(int y) const;
    // The cells of logical row y from column x on, for drawing; x and y inside the buffer.
    const char* RowCells(int x, int y) const;

    // Printable characters (32 to 255) go to the cursor, a full row wraps at once; bell,
    // backspace, line feed and carriage return act; other control codes are dropped.
    void Write(const char* buffer, int count);
    // All cells blank, cursor and origin at (0, 0); the ring start stays.
    void Clear();

    int CursorX() const { return cursorX_; }
    int CursorY() const { return cursorY_; }
    // Physical row of the buffer that holds logical row 0.
    int FirstRow() const { return firstRow_; }

    // The whole cells the window shows; the limits of the origin follow from them.
    void SetViewSize(int visibleCols, int visibleRows);
    int VisibleCols() const { return visibleCols_; }
    int VisibleRows() const { return visibleRows_; }
    int MaxOriginX() const { return maxOriginX_; }
    int MaxOriginY() const { return maxOriginY_; }
    int OriginX() const { return originX_; }
    int OriginY() const { return originY_; }
    // Moves the origin to (column, row) clamped to 0..MaxOrigin on each axis (the upper
    // bound first); false when that is where it already is.
    bool MoveOrigin(int column, int row);
    // The origin nearest the current one that shows the cursor cell.
    TCellPoint OriginShowingCursor() const;

private:
    std::size_t CellIndex(int x, int y) const;
    void CarriageReturn();
    void LineFeed();
    void ReportSpan();

    TScreenEvents& events_;
    int cols_ = 80;
    int rows_ = 25;
    std::vector<char> cells_;
    int firstRow_ = 0;
    TConsoleLineBreak lineBreak_ = TConsoleLineBreak::CRLF;
    int cursorX_ = 0;
    int cursorY_ = 0;
    int visibleCols_ = 0;
    int visibleRows_ = 0;
    int maxOriginX_ = 0;
    int maxOriginY_ = 0;
    int originX_ = 0;
    int originY_ = 0;
    // Columns of the cursor row changed by the write in progress, end exclusive.
    int dirtyFrom_ = 0;
    int dirtyTo_ = 0;
};
