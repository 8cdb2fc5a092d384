// The font rule and what a refused or accepted font leaves behind.
#include <gtest/gtest.h>

#include <string>

#include "console_test_support.h"

namespace {

TEXTMETRICA Measure(const char* face, int height)
{
    HFONT font = CreateFontA(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0,
                             DEFAULT_PITCH, face);
    HDC screen = GetDC(nullptr);
    HGDIOBJ old = SelectObject(screen, font);
    TEXTMETRICA metrics{};
    GetTextMetricsA(screen, &metrics);
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);
    DeleteObject(font);
    return metrics;
}

class Fonts : public ::testing::Test {
protected:
    void SetUp() override { Configure(console, coFixedPitchOnly, 80, 25); }
    TConsole console;
};

}  // namespace

TEST(FontRule, KnownFamilyAndNotVariablePitch)
{
    for (BYTE refused : {0x31, 0x00, 0x40, 0x01, 0x27, 0x41, 0x0B})
        EXPECT_FALSE(IsFixedPitchFont(refused)) << int(refused);
    for (BYTE accepted : {0x30, 0x10, 0x20, 0x50, 0x36, 0x3A})
        EXPECT_TRUE(IsFixedPitchFont(accepted)) << int(accepted);
}

TEST_F(Fonts, FixedFacesAreTakenAndMeasured)
{
    ASSERT_TRUE(IsFixedPitchFont(Measure("Courier", -11).tmPitchAndFamily))
        << "the Wine prefix lacks its Courier font";
    for (const char* face : {"Fixedsys", "Courier"}) {
        console.Font().SetName(face);
        TEXTMETRICA metrics = Measure(face, -11);
        EXPECT_EQ(console.Font().Name(), face);
        EXPECT_EQ(console.CellWidth(), metrics.tmAveCharWidth) << face;
        EXPECT_EQ(console.CellHeight(), metrics.tmHeight + metrics.tmExternalLeading) << face;
        EXPECT_EQ(console.CaretOffset(), metrics.tmAscent) << face;
    }
}

TEST_F(Fonts, VariablePitchFacesAreRefusedAndTheOldFaceKept)
{
    int width = console.CellWidth(), height = console.CellHeight();
    // Pitch and family under Wine: Tahoma 0x27, MS Sans Serif 0x21, Symbol 0x17, Marlett 0x07.
    for (std::string face : {"Tahoma", "MS Sans Serif", "Symbol", "Marlett"}) {
        try {
            console.Font().SetName(face);
            ADD_FAILURE() << face << " taken";
        } catch (const EInvalidFont& error) {
            EXPECT_EQ(error.Message(), "TConsole: " + face + " is not fixed-pitch");
        }
        EXPECT_EQ(console.Font().Name(), "Courier");
        EXPECT_EQ(console.CellWidth(), width);
        EXPECT_EQ(console.CellHeight(), height);
    }
    std::string longName = "No Such Face Name Anywhere On This Machine";
    try {
        console.Font().SetName(longName);
        ADD_FAILURE() << "fallback face taken";
    } catch (const EInvalidFont& error) {
        EXPECT_EQ(error.Message(), "TConsole: " + longName.substr(0, 31) + " is not fixed-pitch");
    }
}

TEST_F(Fonts, WithoutTheRuleEveryFontIsTaken)
{
    console.SetOptions(0);
    console.Font().SetName("Tahoma");
    EXPECT_EQ(console.CellWidth(), Measure("Tahoma", -11).tmAveCharWidth);
    EXPECT_EQ(console.Overhang(),
              Measure("Tahoma", -11).tmMaxCharWidth - Measure("Tahoma", -11).tmAveCharWidth);
}

TEST_F(Fonts, AssigningCopiesTheBackgroundUnlessTheFontIsRefused)
{
    TFixedFont wanted;
    wanted.SetName("Tahoma");
    wanted.SetHeight(-11);
    wanted.SetBkColor(RGB(1, 2, 3));
    EXPECT_THROW(console.SetFont(wanted), EInvalidFont);
    EXPECT_EQ(console.Font().BkColor(), clWindow);
    EXPECT_EQ(console.Font().Name(), "Courier");

    wanted.SetName("Fixedsys");
    console.SetFont(wanted);
    EXPECT_EQ(console.Font().BkColor(), RGB(1, 2, 3));
    EXPECT_EQ(console.Font().Name(), "Fixedsys");
}

TEST(FontsAtCreation, RefusedFontStillGivesAWorkingWindow)
{
    TConsole console;
    console.SetOptions(0);
    console.Font().SetName("Tahoma");
    console.SetOptions(coFixedPitchOnly);
    // Window creation measures afresh and refuses; the window is there all the same.
    EXPECT_THROW(console.CreateHandle(TestHost()), EInvalidFont);
    ASSERT_NE(console.Handle(), nullptr);
    console.SetBounds(0, 0, 200, 100);
    console.Write("text\r\n");
    console.RepaintNow();
    PumpMessages();
    bool written = false;
    for (int y = 0; y < console.Rows(); ++y)
        written = written || console.RowText(y).starts_with("text");
    EXPECT_TRUE(written) << "no cell size, yet writing goes on";
}
