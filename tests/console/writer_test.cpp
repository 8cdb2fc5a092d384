// Writing through the control: the output hook, the cell operations a subclass may
// replace, and the buffer's size. The writer itself is tested in screen_test.cpp.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console_test_support.h"

namespace {

// Notes every cell operation, then stores as the control does.
class WatchedConsole : public TConsole {
public:
    std::vector<std::string> calls;

protected:
    void PutCells(int x, int y, const char* buffer, int count) override
    {
        calls.push_back("put " + std::to_string(x) + "," + std::to_string(y) + " " +
                        std::string(buffer, count));
        TConsole::PutCells(x, y, buffer, count);
    }
    void FillCells(int x, int y, char ch, int count) override
    {
        calls.push_back("fill " + std::to_string(x) + "," + std::to_string(y) + " '" + ch + "' " +
                        std::to_string(count));
        TConsole::FillCells(x, y, ch, count);
    }
};

std::string Padded(const std::string& text, int cols = 80)
{
    return text + std::string(std::size_t(cols) - text.size(), ' ');
}

class Writer : public ::testing::Test {
protected:
    void SetUp() override { Configure(console, coFixedPitchOnly, 80, 50); }
    WatchedConsole console;
};

}  // namespace

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

TEST_F(Writer, WriterAndClearReachTheCellsThroughTheCellOperations)
{
    console.calls.clear();
    console.Write("ab\b");
    console.Clear();
    EXPECT_EQ(console.calls,
              (std::vector<std::string>{"put 0,0 ab", "fill 1,0 ' ' 1", "fill 0,0 ' ' 4000"}));
    EXPECT_EQ(console.RowText(0), Padded(""));
}

TEST_F(Writer, NewSizeStartsBlankAtTheTopLeft)
{
    for (int line = 0; line < 60; ++line)
        console.Write("text\r\n");
    console.Write("more");
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
