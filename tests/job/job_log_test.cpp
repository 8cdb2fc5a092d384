#include <gtest/gtest.h>

#include "recording_console.h"

namespace {

SYSTEMTIME At(int year, int month, int day, int hour, int minute, int second)
{
    SYSTEMTIME t{};
    t.wYear = WORD(year);
    t.wMonth = WORD(month);
    t.wDay = WORD(day);
    t.wHour = WORD(hour);
    t.wMinute = WORD(minute);
    t.wSecond = WORD(second);
    return t;
}

class JobLog : public ::testing::Test {
protected:
    void TearDown() override { DebugMode = false; }
};

}  // namespace

TEST_F(JobLog, TimeStampsUseTwelveHourClockAndTwoDigitYears)
{
    EXPECT_EQ(FormatTimeStamp(At(2001, 3, 5, 14, 7, 9), ':'), "03.05.01 02:07:09 PM");
    EXPECT_EQ(FormatTimeStamp(At(1999, 12, 31, 0, 30, 0), ':'), "12.31.99 12:30:00 AM");
    EXPECT_EQ(FormatTimeStamp(At(2000, 1, 1, 12, 0, 0), ':'), "01.01.00 12:00:00 PM");
    EXPECT_EQ(FormatTimeStamp(At(2000, 1, 1, 13, 0, 0), ':'), "01.01.00 01:00:00 PM");
    EXPECT_EQ(FormatTimeStamp(At(2000, 1, 1, 11, 59, 59), ':'), "01.01.00 11:59:59 AM");
    EXPECT_EQ(FormatTimeStamp(At(2099, 1, 1, 23, 0, 0), ':').size(), 20u);
}

TEST_F(JobLog, TheLocalesTimeSeparatorIsUsedWhenItIsOneCharacter)
{
    EXPECT_EQ(TimeSeparatorOf(".", 2), '.');
    EXPECT_EQ(TimeSeparatorOf("..", 3), ':');
    EXPECT_EQ(TimeSeparatorOf("", 0), ':') << "no answer";
    EXPECT_EQ(FormatTimeStamp(At(2001, 3, 5, 14, 7, 9), '.'), "03.05.01 02.07.09 PM");
}

TEST_F(JobLog, NothingHappensWithDebugModeOff)
{
    RecordingConsole console;
    debug(console, "dropped");
    EXPECT_TRUE(console.written.empty());
    EXPECT_EQ(console.repaints, 0);
}

TEST_F(JobLog, LinesAreStampedCutAndPaintedAtOnce)
{
    RecordingConsole console;
    DebugMode = true;
    debug(console, "");
    debug(console, std::string(255, 'a'));
    debug(console, std::string(300, 'b'));
    ASSERT_EQ(console.written.size(), 3u);
    EXPECT_EQ(console.repaints, 3);
    EXPECT_EQ(console.written[0].size(), 20u + 1 + 2);
    EXPECT_EQ(console.written[0].substr(20), " \r\n");
    EXPECT_EQ(console.Messages()[1], std::string(255, 'a'));
    EXPECT_EQ(console.Messages()[2], std::string(255, 'b'));
    EXPECT_EQ(console.written[1][2], '.');
    EXPECT_EQ(console.written[1][5], '.');
}
