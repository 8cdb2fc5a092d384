// The screen model without a window: the ring of rows, the writer and the view.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/console_screen.h"

namespace {

struct Span {
    int y, from, to;
    bool operator==(const Span&) const = default;
};

// A window that stores cells as given, moves its view at once, and notes what it is told.
class Window : public TScreenEvents {
public:
    explicit Window(int cols = 80, int rows = 50) { screen.Resize(cols, rows); }

    void PutCells(int x, int y, const char* buffer, int count) override
    {
        screen.PutCells(x, y, buffer, count);
    }
    void FillCells(int x, int y, char ch, int count) override { screen.FillCells(x, y, ch, count); }
    void SpanChanged(int y, int from, int to) override { spans.push_back({y, from, to}); }
    void Bell() override { ++bells; }
    void ScrollBy(int dx, int dy) override
    {
        scrollFrom.push_back(screen.OriginY());
        screen.MoveOrigin(screen.OriginX() + dx, screen.OriginY() + dy);
    }

    void Write(const std::string& text) { screen.Write(text.data(), int(text.size())); }

    TConsoleScreen screen{*this};
    std::vector<Span> spans;
    int bells = 0;
    std::vector<int> scrollFrom;  // the view's top row when each move was asked for
};

std::string Padded(const std::string& text, int cols = 80)
{
    return text + std::string(std::size_t(cols) - text.size(), ' ');
}

}  // namespace

TEST(Writer, FullRowWrapsAtOnce)
{
    Window window;
    window.Write(std::string(80, 'a'));
    EXPECT_EQ(window.screen.CursorX(), 0);
    EXPECT_EQ(window.screen.CursorY(), 1);
    EXPECT_EQ(window.spans, (std::vector<Span>{{0, 0, 80}}));
    window.Write("\r\n");
    EXPECT_EQ(window.screen.CursorY(), 2);
    EXPECT_EQ(window.screen.RowText(1), Padded(""));

    window.screen.Clear();
    window.Write(std::string(80, 'b') + std::string(20, 'c'));
    EXPECT_EQ(window.screen.RowText(0), std::string(80, 'b'));
    EXPECT_EQ(window.screen.RowText(1), Padded(std::string(20, 'c')));
    EXPECT_EQ(window.screen.CursorX(), 20);
    EXPECT_EQ(window.screen.CursorY(), 1);
}

TEST(Writer, LineBeyondTheLastRowDropsTheOldest)
{
    Window window;
    for (int line = 1; line <= 50; ++line)
        window.Write("line " + std::to_string(line) + "\r\n");
    // The 50th line's line feed needed a new row: the first line is gone.
    EXPECT_EQ(window.screen.FirstRow(), 1);
    EXPECT_EQ(window.screen.RowText(0), Padded("line 2"));
    EXPECT_EQ(window.screen.RowText(48), Padded("line 50"));
    EXPECT_EQ(window.screen.RowText(49), Padded("")) << "the oldest row's storage, blanked";
    EXPECT_EQ(window.screen.CursorY(), 49);

    window.Write("line 51");
    EXPECT_EQ(window.screen.RowText(49), Padded("line 51"));
    for (int line = 52; line <= 150; ++line)
        window.Write("\r\nline " + std::to_string(line));
    EXPECT_EQ(window.screen.FirstRow(), 0) << "100 rows dropped: the ring went round twice";
    EXPECT_EQ(window.screen.RowText(0), Padded("line 101"));
    EXPECT_EQ(window.screen.RowText(49), Padded("line 150"));
}

struct LineBreakCase {
    TConsoleLineBreak mode;
    const char* text;
    int cursorX, cursorY;
    std::vector<std::string> rows;  // from row 0; the rest stay blank
};

class LineBreaks : public ::testing::TestWithParam<LineBreakCase> {};

TEST_P(LineBreaks, CarriageReturnAndLineFeedActAsTheModeSays)
{
    const LineBreakCase& c = GetParam();
    Window window;
    window.screen.SetLineBreak(c.mode);
    window.Write(c.text);
    EXPECT_EQ(window.screen.CursorX(), c.cursorX);
    EXPECT_EQ(window.screen.CursorY(), c.cursorY);
    for (int y = 0; y < 4; ++y)
        EXPECT_EQ(window.screen.RowText(y), Padded(y < int(c.rows.size()) ? c.rows[y] : ""))
            << "row " << y;
}

INSTANTIATE_TEST_SUITE_P(
    Modes, LineBreaks,
    ::testing::Values(LineBreakCase{TConsoleLineBreak::CRLF, "ab\rx", 1, 0, {"xb"}},
                      LineBreakCase{TConsoleLineBreak::CRLF, "ab\rx\n", 1, 1, {"xb"}},
                      LineBreakCase{TConsoleLineBreak::LF, "ab\nc", 1, 1, {"ab", "c"}},
                      LineBreakCase{TConsoleLineBreak::LF, "ab\nc\rd", 1, 1, {"ab", "d"}},
                      LineBreakCase{TConsoleLineBreak::CR, "ab\rc", 1, 1, {"ab", "c"}},
                      LineBreakCase{TConsoleLineBreak::CR, "ab\rc\nd", 2, 2, {"ab", "c", " d"}}));

TEST(Writer, BackspaceBlanksTheCellBeforeTheCursor)
{
    Window window;
    window.Write("\b");
    EXPECT_EQ(window.screen.CursorX(), 0);
    window.Write("x\r\n\b");
    EXPECT_EQ(window.screen.CursorY(), 1) << "no move to the row above";
    EXPECT_EQ(window.screen.RowText(0), Padded("x"));
    window.spans.clear();
    window.Write("abcde\b");
    EXPECT_EQ(window.screen.RowText(1), Padded("abcd"));
    EXPECT_EQ(window.screen.CursorX(), 4);
    window.spans.clear();
    window.Write("\b\b");
    EXPECT_EQ(window.spans, (std::vector<Span>{{1, 2, 4}})) << "the blanked cells are redrawn";
}

TEST(Writer, OtherControlCodesLeaveNoTraceAndHighCodesAreStored)
{
    Window window;
    window.Write(std::string("a\tb\fc\0d\x1b\x7f\a\a", 11));
    EXPECT_EQ(window.screen.RowText(0), Padded("abcd\x7f"));
    EXPECT_EQ(window.screen.CursorX(), 5);
    EXPECT_EQ(window.bells, 2) << "one bell for each bell character";

    std::string high;
    for (int c = 128; c <= 255; ++c)
        high += char(c);
    window.Write("\r\n" + high);
    EXPECT_EQ(window.screen.RowText(1), high.substr(0, 80));
    EXPECT_EQ(window.screen.RowText(2), Padded(high.substr(80)));
}

TEST(Writer, EachRowReportsTheColumnsItChanged)
{
    Window window;
    window.Write("   ");
    window.spans.clear();
    window.Write("xy\r\nz");
    EXPECT_EQ(window.spans, (std::vector<Span>{{0, 3, 5}, {1, 0, 1}}));
    window.spans.clear();
    window.Write("\r\n\r\n");
    EXPECT_TRUE(window.spans.empty()) << "nothing written, nothing to redraw";
}

TEST(Writer, CellOperationsStayInsideTheBuffer)
{
    Window window(4, 3);
    window.screen.FillCells(2, 0, '#', 7);  // rest of row 0, all of row 1, one of row 2
    EXPECT_EQ(window.screen.RowText(0), "  ##");
    EXPECT_EQ(window.screen.RowText(1), "####");
    EXPECT_EQ(window.screen.RowText(2), "#   ");
    window.screen.FillCells(1, 2, '*', 1000);
    EXPECT_EQ(window.screen.RowText(2), "#***") << "cut at the buffer's end";
    window.screen.PutCells(2, 1, "abcdef", 6);
    EXPECT_EQ(window.screen.RowText(1), "##ab") << "cut at the row's end";
    window.screen.FillCells(0, 3, '!', 1);
    window.screen.PutCells(4, 0, "x", 1);
    window.screen.FillCells(-1, 0, '!', 1);
    EXPECT_EQ(window.screen.RowText(0), "  ##");
    EXPECT_EQ(window.screen.Cell(0, 3), 0);
    EXPECT_EQ(window.screen.RowText(-1), "");
}

TEST(Writer, ClearAndResizeStartBlankAtTheTopLeft)
{
    Window window;
    window.screen.SetViewSize(80, 20);
    for (int line = 0; line < 60; ++line)
        window.Write("text\r\n");
    ASSERT_EQ(window.screen.OriginY(), 0) << "nothing tracked the cursor";
    window.screen.MoveOrigin(3, 30);
    int firstRow = window.screen.FirstRow();
    window.screen.Clear();
    EXPECT_EQ(window.screen.RowText(0), Padded(""));
    EXPECT_EQ(window.screen.RowText(49), Padded(""));
    EXPECT_EQ(window.screen.CursorX() + window.screen.CursorY(), 0);
    EXPECT_EQ(window.screen.OriginX() + window.screen.OriginY(), 0);
    EXPECT_EQ(window.screen.FirstRow(), firstRow);

    window.Write("text\r\nmore");
    window.screen.MoveOrigin(3, 30);
    window.screen.Resize(40, 10);
    EXPECT_EQ(window.screen.RowText(0), Padded("", 40));
    EXPECT_EQ(window.screen.RowText(9), Padded("", 40));
    EXPECT_EQ(window.screen.CursorX() + window.screen.CursorY() + window.screen.FirstRow(), 0);
    EXPECT_EQ(window.screen.OriginX() + window.screen.OriginY(), 0);
}

TEST(View, LimitsFollowTheViewSize)
{
    Window window;
    window.screen.SetViewSize(30, 20);
    EXPECT_EQ(window.screen.MaxOriginX(), 50);
    EXPECT_EQ(window.screen.MaxOriginY(), 30);
    EXPECT_TRUE(window.screen.MoveOrigin(70, 45));
    EXPECT_EQ(window.screen.OriginX(), 50);
    EXPECT_EQ(window.screen.OriginY(), 30);
    EXPECT_FALSE(window.screen.MoveOrigin(50, 99)) << "clamped to where it is";
    EXPECT_TRUE(window.screen.MoveOrigin(-5, 2));
    EXPECT_EQ(window.screen.OriginX(), 0);
    EXPECT_EQ(window.screen.OriginY(), 2);

    window.screen.SetViewSize(100, 60);
    EXPECT_EQ(window.screen.MaxOriginX(), 0) << "a view larger than the buffer";
    EXPECT_EQ(window.screen.MaxOriginY(), 0);
    EXPECT_EQ(window.screen.OriginY(), 2) << "the window's own move pulls the origin back";
    EXPECT_TRUE(window.screen.MoveOrigin(window.screen.OriginX(), window.screen.OriginY()));
    EXPECT_EQ(window.screen.OriginY(), 0);
}

struct TrackCase {
    const char* name;
    int cursorX, cursorY;  // written to with spaces and line feeds
    int originX, originY;  // before
    int expectX, expectY;  // the origin showing the cursor
};

class Tracking : public ::testing::TestWithParam<TrackCase> {};

TEST_P(Tracking, TheViewMovesTheLeastThatShowsTheCursor)
{
    const TrackCase& c = GetParam();
    Window window;
    window.screen.SetViewSize(20, 10);
    window.Write(std::string(std::size_t(c.cursorY), '\n') +
                 std::string(std::size_t(c.cursorX), ' '));
    window.screen.MoveOrigin(c.originX, c.originY);
    TCellPoint origin = window.screen.OriginShowingCursor();
    EXPECT_EQ(origin.x, c.expectX);
    EXPECT_EQ(origin.y, c.expectY);
}

INSTANTIATE_TEST_SUITE_P(CursorPlaces, Tracking,
                         ::testing::Values(TrackCase{"Inside", 5, 5, 0, 0, 0, 0},
                                           TrackCase{"Below", 5, 25, 0, 0, 0, 16},
                                           TrackCase{"Above", 5, 3, 0, 20, 0, 3},
                                           TrackCase{"Right", 45, 5, 0, 0, 26, 0},
                                           TrackCase{"Left", 5, 5, 30, 0, 5, 0},
                                           TrackCase{"LastCellOfTheView", 19, 9, 0, 0, 0, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(View, NewRowKeepsTheTextInViewThenMovesItUp)
{
    Window window;
    window.screen.SetViewSize(80, 20);
    window.Write(std::string(49, '\n'));
    ASSERT_TRUE(window.scrollFrom.empty());

    for (int origin : {30, 0}) {
        window.screen.MoveOrigin(0, origin);
        window.scrollFrom.clear();
        window.Write("\n");
        // Row numbers dropped by one: the origin one lower shows the same text (below 0
        // too, until the move), and the move down scrolls it up.
        EXPECT_EQ(window.scrollFrom, (std::vector<int>{origin - 1}));
        EXPECT_EQ(window.screen.OriginY(), origin);
    }
}
