#include <gtest/gtest.h>

#include "settings/integer_text.h"

TEST(IntegerText, AcceptsDecimalAndDollarHex)
{
    EXPECT_EQ(ParseIntegerText("0001"), 1);
    EXPECT_EQ(ParseIntegerText("  -3"), -3);
    EXPECT_EQ(ParseIntegerText("+5"), 5);
    EXPECT_EQ(ParseIntegerText("$1F"), 31);
    EXPECT_EQ(ParseIntegerText("$ff"), 255);
    EXPECT_EQ(ParseIntegerText("$FFFFFFFF"), -1);
    EXPECT_EQ(ParseIntegerText("2147483647"), 2147483647);
    EXPECT_EQ(ParseIntegerText("-2147483648"), INT32_MIN);
}

TEST(IntegerText, RefusesAnythingElse)
{
    for (const char* text : {"", " ", "-", "$", "12a", "7 ", "2147483648", "-2147483649",
                             "$100000000", "0x10", "1e3", "99999999999999999999"})
        EXPECT_FALSE(ParseIntegerText(text).has_value()) << '"' << text << '"';
}

TEST(IntegerText, ProfileIntegersReadZeroXAsHex)
{
    EXPECT_EQ(ParseProfileInteger("0x10"), 16);
    EXPECT_EQ(ParseProfileInteger("0X1f"), 31);
    EXPECT_FALSE(ParseProfileInteger("0x").has_value());
    EXPECT_EQ(ParseProfileInteger(" 7"), 7);
}
