#include <gtest/gtest.h>

#include <string>

#include <windows.h>

#include "job/wide_to_ansi.h"

TEST(WideToAnsi, ConvertsWhole)
{
    AnsiText plain = WideToAnsi(L"C:\\fax\\job.ini", 14);
    EXPECT_EQ(plain.text, "C:\\fax\\job.ini");
    EXPECT_TRUE(plain.exact);
    EXPECT_TRUE(WideToAnsi(L"", 0).exact);
}

TEST(WideToAnsi, FlagsWhatTheCodePageLacks)
{
    if (GetACP() != 1252)
        GTEST_SKIP() << "needs code page 1252";
    AnsiText missing = WideToAnsi(L"a\u4e2db", 3);
    EXPECT_EQ(missing.text, "a?b");
    EXPECT_FALSE(missing.exact);
    // Best fit would turn full-width backslashes into real ones: another file's name.
    std::wstring lookAlike = L"C:\uff3cwindows\uff3cwin.ini";
    AnsiText fitted = WideToAnsi(lookAlike.data(), lookAlike.size());
    EXPECT_EQ(fitted.text.find('\\'), std::string::npos) << fitted.text;
    EXPECT_FALSE(fitted.exact);
}

// Run a second time under a Japanese locale (code page 932), where each of these
// characters takes two bytes.
TEST(WideToAnsi, DoubleByteNamesAreNotCut)
{
    if (GetACP() != 932)
        GTEST_SKIP() << "needs code page 932";
    std::wstring name = L"C:\\\u65e5\u672c\u8a9e\\\u30d5\u30a1\u30af\u30b9.ini";
    AnsiText ansi = WideToAnsi(name.data(), name.size());
    EXPECT_TRUE(ansi.exact);
    EXPECT_EQ(ansi.text.size(), name.size() + 7);
    wchar_t back[64] = {};
    int units = MultiByteToWideChar(CP_ACP, 0, ansi.text.data(), int(ansi.text.size()), back, 64);
    EXPECT_EQ(std::wstring(back, units), name);
}
