// Typed characters, key and line reads, the break keys, and the standard streams.
#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <string>

#include "console/console_streams.h"
#include "console_test_support.h"

namespace {

class BreakConsole : public TConsole {
public:
    int breaks = 0;

protected:
    void DoBreak() override { ++breaks; }
};

std::function<void()> TimerAction;

void CALLBACK RunTimerAction(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    std::function<void()> action = std::move(TimerAction);
    if (action)
        action();
}

// Runs the action from the message loop a little later, that is inside a read.
void Later(std::function<void()> action)
{
    TimerAction = std::move(action);
    SetTimer(nullptr, 0, 20, RunTimerAction);
}

class Input : public ::testing::Test {
protected:
    void SetUp() override
    {
        Configure(console, coCheckBreak | coFixedPitchOnly, 80, 25);
        Show(console, 40, 10);
    }

    void Type(const std::string& keys, TConsole* target = nullptr)
    {
        for (char c : keys)
            PostMessageA((target ? target : &console)->Handle(), WM_CHAR,
                         static_cast<unsigned char>(c), 1);
    }

    std::string ReadLine(int capacity)
    {
        std::string line(std::size_t(capacity), '\0');
        line.resize(std::size_t(console.ReadLine(line.data(), capacity)));
        return line;
    }

    BreakConsole console;
};

}  // namespace

TEST_F(Input, TypedCharactersAreReadInOrderAndAFourthReadWaits)
{
    Type("abc");
    EXPECT_EQ(console.ReadKey(), 'a');
    EXPECT_EQ(console.ReadKey(), 'b');
    EXPECT_EQ(console.ReadKey(), 'c');

    console.Write("xy");
    bool reading = false;
    POINT caret{-1, -1};
    Later([&] {
        reading = console.Reading() && ReadActive;
        GetCaretPos(&caret);
        Type("d");
    });
    EXPECT_EQ(console.ReadKey(), 'd');
    EXPECT_TRUE(reading);
    EXPECT_TRUE(console.Focused()) << "a waiting read takes the focus";
    EXPECT_EQ(caret.x, 2 * console.CellWidth()) << "caret under the cursor cell";
    EXPECT_EQ(caret.y, console.CaretOffset());
    EXPECT_FALSE(console.Reading());
    EXPECT_FALSE(ReadActive);
}

TEST_F(Input, QuitDuringAReadEndsItAndStaysForTheProgram)
{
    PostQuitMessage(7);
    try {
        console.ReadKey();
        ADD_FAILURE() << "read ended without a key";
    } catch (const Exception& error) {
        EXPECT_EQ(error.Message(), "WM_Quit received during ReadKey");
    }
    EXPECT_FALSE(console.Reading());
    EXPECT_FALSE(ReadActive);
    MSG quit;
    ASSERT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(quit.wParam, 7u);
}

TEST_F(Input, ReadDuringAnotherReadIsRefused)
{
    BreakConsole other;
    Configure(other, coFixedPitchOnly, 80, 25);
    other.CreateHandle(TestHost());
    std::string refusal;
    Later([&] {
        try {
            other.ReadKey();
        } catch (const EInvalidOperation& error) {
            refusal = error.Message();
        }
        Type("z");
    });
    EXPECT_EQ(console.ReadKey(), 'z');
    EXPECT_EQ(refusal, "Read already active");
    EXPECT_FALSE(ReadActive);
}

TEST_F(Input, LinesAreEditedEchoedAndEnded)
{
    Type("ab\bc\r");
    EXPECT_EQ(ReadLine(10), "ac\r\n");
    EXPECT_EQ(console.RowText(0).substr(0, 3), "ac ");
    EXPECT_EQ(console.CursorX(), 0);
    EXPECT_EQ(console.CursorY(), 1);

    Type("abcd\r");
    EXPECT_EQ(ReadLine(5), "abc\r\n") << "capacity 5 holds 3 characters";
    EXPECT_EQ(console.RowText(1).substr(0, 4), "abc ");

    Type("\b\bq\x1a\tr\r");
    EXPECT_EQ(ReadLine(10), "qr\r\n") << "without coCheckEOF, Ctrl+Z is ignored";

    console.SetOptions(console.Options() | coCheckEOF);
    Type("st\x1a");
    EXPECT_EQ(ReadLine(10), "st\x1a");
    EXPECT_EQ(console.CursorX(), 2) << "no line end written";

    EXPECT_THROW(console.ReadLine(nullptr, 1), Exception);
}

TEST_F(Input, SixtyFifthCharacterIsDropped)
{
    Type(std::string(64, 'k') + "x");
    EXPECT_TRUE(console.KeyPressed());
    EXPECT_EQ(console.KeyCount(), 64);
    for (int i = 0; i < 64; ++i)
        ASSERT_EQ(console.ReadKey(), 'k');
    EXPECT_FALSE(console.KeyPressed());
}

TEST_F(Input, BreakKeysCallDoBreak)
{
    Type("\x03");
    EXPECT_TRUE(console.KeyPressed());
    EXPECT_EQ(console.breaks, 1);
    EXPECT_EQ(console.ReadKey(), '\x03') << "Ctrl+C is queued too";
    PressKey(console.Handle(), VK_CANCEL);
    EXPECT_EQ(console.breaks, 2);

    console.SetOptions(coFixedPitchOnly);
    Type("\x03");
    PressKey(console.Handle(), VK_CANCEL);
    PumpMessages();
    EXPECT_EQ(console.breaks, 2);
}

TEST_F(Input, StandardOutputGoesToOneConsoleAtATime)
{
    console.SetOptions(console.Options() | coStdOutput);
    std::cout << "abc";
    EXPECT_EQ(console.RowText(0).substr(0, 4), "abc ") << "shown at the end of the statement";

    {
        TConsole second;
        try {
            second.SetOptions(coStdOutput);
            ADD_FAILURE() << "bound twice";
        } catch (const Exception& error) {
            EXPECT_EQ(error.Message(), "TConsole.SetOptions: Standard Output is already open");
        }
        EXPECT_FALSE(second.Options() & coStdOutput);

        std::vector<std::uint32_t> deliveries;
        console.SetProcessControlCodes(
            [&](TConsole&, const char*, std::uint32_t count) { deliveries.push_back(count); });
        std::cout << std::string(300, 'x');
        EXPECT_EQ(deliveries, (std::vector<std::uint32_t>{128, 128, 44}))
            << "the 128-character buffer";
        console.SetProcessControlCodes(nullptr);

        console.SetOptions(console.Options() & ~coStdOutput);
        EXPECT_EQ(StandardOutput().State(), TTextStreamState::Closed);
        second.SetOptions(coStdOutput);
        std::cout << "second";
        EXPECT_EQ(second.RowText(0).substr(0, 6), "second");
    }
    EXPECT_EQ(StandardOutput().State(), TTextStreamState::Closed) << "unbound by the console's end";
}

TEST_F(Input, StandardInputReadsWholeLines)
{
    console.SetOptions(console.Options() | coStdInput | coCheckEOF);
    TConsole second;
    EXPECT_THROW(second.SetOptions(coStdInput), Exception);

    Type("hello world\r");
    std::string word, rest;
    std::cin >> word;
    std::getline(std::cin, rest);
    EXPECT_EQ(word, "hello");
    EXPECT_EQ(rest, " world\r") << "Enter gives carriage return and line feed";
    EXPECT_EQ(console.CursorY(), 1);

    Type("\x1a");
    EXPECT_FALSE(std::getline(std::cin, rest)) << "a line of Ctrl+Z alone ends the text";
    EXPECT_TRUE(std::cin.eof());
    std::cin.clear();
    console.SetOptions(console.Options() & ~coStdInput);
    EXPECT_EQ(StandardInput().State(), TTextStreamState::Closed);
}
