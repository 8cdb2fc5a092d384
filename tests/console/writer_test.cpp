// The buffer and the writer; no window is needed for them.
#include <gtest/gtest.h>

#include <string>

#include "console_test_support.h"

namespace {

class CellConsole : public TConsole {
public:
    using TConsole::FillCells;
    using TConsole::PutCells;
};

std::string Padded(const std::string& text, int cols = 80)
{
    return text + std::string(std::size_t(cols) - text.size(), ' ');
}

class Writer : public ::testing::Test {
protected:
    void SetUp() override { Configure(console, coFixedPitchOnly, 80, 50); }
    CellConsole console;
};

}  // namespace

TEST_F(Writer, FullRowWrapsAtOnce)
{
    console.Write(std::string(80, 'a'));
    EXPECT_EQ(console.CursorX(), 0);
    EXPECT_EQ(console.CursorY(), 1);
    console.Write("\r\n");
    EXPECT_EQ(console.CursorY(), 2);
    EXPECT_EQ(console.RowText(1), Padded(""));

    console.Clear();
    console.Write(std::string(80, 'b') + std::string(20, 'c'));
    EXPECT_EQ(console.RowText(0), std::string(80, 'b'));
    EXPECT_EQ(console.RowText(1), Padded(std::string(20, 'c')));
    EXPECT_EQ(console.CursorX(), 20);
    EXPECT_EQ(console.CursorY(), 1);
}

TEST_F(Writer, LineBeyondTheLastRowDropsTheOldest)
{
    for (int line = 1; line <= 50; ++line)
        console.Write("line " + std::to_string(line) + "\r\n");
    // The 50th line's line feed needed a new row: the first line is gone.
    EXPECT_EQ(console.FirstRow(), 1);
    EXPECT_EQ(console.RowText(0), Padded("line 2"));
    EXPECT_EQ(console.RowText(48), Padded("line 50"));
    EXPECT_EQ(console.RowText(49), Padded("")) << "the oldest row's storage, blanked";
    EXPECT_EQ(console.CursorY(), 49);

    console.Write("line 51");
    EXPECT_EQ(console.RowText(49), Padded("line 51"));
    for (int line = 52; line <= 150; ++line)
        console.Write("\r\nline " + std::to_string(line));
    EXPECT_EQ(console.FirstRow(), 0) << "100 rows dropped: the ring went round twice";
    EXPECT_EQ(console.RowText(0), Padded("line 101"));
    EXPECT_EQ(console.RowText(49), Padded("line 150"));
}

TEST_F(Writer, CarriageReturnAndLineFeedInEachMode)
{
    console.Write("ab\rx");
    EXPECT_EQ(console.RowText(0), Padded("xb"));
    console.Write("\n");
    EXPECT_EQ(console.CursorX(), 1) << "CRLF: a line feed keeps the column";
    EXPECT_EQ(console.CursorY(), 1);

    console.Clear();
    console.SetLineBreak(TConsoleLineBreak::LF);
    console.Write("ab\nc");
    EXPECT_EQ(console.RowText(1), Padded("c"));
    console.Write("\rd");
    EXPECT_EQ(console.RowText(1), Padded("d")) << "LF: a carriage return stays on the row";

    console.Clear();
    console.SetLineBreak(TConsoleLineBreak::CR);
    console.Write("ab\rc");
    EXPECT_EQ(console.RowText(1), Padded("c"));
    console.Write("\nd");
    EXPECT_EQ(console.CursorY(), 2);
    EXPECT_EQ(console.RowText(2), Padded(" d")) << "CR: a line feed keeps the column";
}

TEST_F(Writer, BackspaceBlanksTheCellBeforeTheCursor)
{
    console.Write("\b");
    EXPECT_EQ(console.CursorX(), 0);
    console.Write("x\r\n\b");
    EXPECT_EQ(console.CursorY(), 1) << "no move to the row above";
    EXPECT_EQ(console.RowText(0), Padded("x"));
    console.Write("abcde\b");
    EXPECT_EQ(console.RowText(1), Padded("abcd"));
    EXPECT_EQ(console.CursorX(), 4);
}

TEST_F(Writer, OtherControlCodesLeaveNoTraceAndHighCodesAreStored)
{
    console.Write(std::string("a\tb\fc\0d\x1b\x7f\a", 10));
    EXPECT_EQ(console.RowText(0), Padded("abcd\x7f"));
    EXPECT_EQ(console.CursorX(), 5);

    std::string high;
    for (int c = 128; c <= 255; ++c)
        high += char(c);
    console.Write("\r\n" + high);
    EXPECT_EQ(console.RowText(1), high.substr(0, 80));
    EXPECT_EQ(console.RowText(2), Padded(high.substr(80)));
}

TEST_F(Writer, HookTakesEveryTextInstead)
{
    std::vector<std::string> seen;
    console.SetProcessControlCodes([&](TConsole& sender, const char* buffer, std::uint32_t count) {
        EXPECT_EQ(&sender, &console);
        seen.emplace_back(buffer, count);
    });
    console.Write("abc\r\n");
    console.Write("");
    console.WriteChar('z');
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], "abc\r\n");
    EXPECT_EQ(seen[1], "");
    EXPECT_EQ(seen[2], "z");
    EXPECT_EQ(console.RowText(0), Padded(""));
    console.WriteCodedBuffer("still", 5);
    EXPECT_EQ(console.RowText(0), Padded("still"));
}

TEST_F(Writer, CellOperationsStayInsideTheBuffer)
{
    console.SetCols(4);
    console.SetRows(3);
    console.FillCells(2, 0, '#', 7);  // rest of row 0, all of row 1, one of row 2
    EXPECT_EQ(console.RowText(0), "  ##");
    EXPECT_EQ(console.RowText(1), "####");
    EXPECT_EQ(console.RowText(2), "#   ");
    console.FillCells(1, 2, '*', 1000);
    EXPECT_EQ(console.RowText(2), "#***") << "cut at the buffer's end";
    console.PutCells(2, 1, "abcdef", 6);
    EXPECT_EQ(console.RowText(1), "##ab") << "cut at the row's end";
    console.FillCells(0, 3, '!', 1);
    console.PutCells(4, 0, "x", 1);
    EXPECT_EQ(console.RowText(0), "  ##");
}

TEST_F(Writer, ClearAndNewSizeStartBlankAtTheTopLeft)
{
    for (int line = 0; line < 60; ++line)
        console.Write("text\r\n");
    int firstRow = console.FirstRow();
    console.Clear();
    EXPECT_EQ(console.RowText(0), Padded(""));
    EXPECT_EQ(console.CursorX() + console.CursorY() + console.OriginY(), 0);
    EXPECT_EQ(console.FirstRow(), firstRow);

    console.Write("text\r\nmore");
    console.SetRows(10);
    EXPECT_EQ(console.RowText(0), Padded(""));
    EXPECT_EQ(console.RowText(9), Padded(""));
    EXPECT_EQ(console.CursorX() + console.CursorY() + console.FirstRow(), 0);

    EXPECT_THROW(console.SetCols(0), Exception);
    console.SetCols(100000);
    EXPECT_THROW(console.SetRows(30000), Exception) << "3e9 cells";
    EXPECT_EQ(console.Rows(), 10);
    EXPECT_EQ(console.Cols(), 100000);
}
