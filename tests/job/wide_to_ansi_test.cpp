#include <gtest/gtest.h>

#include <string>

#include <windows.h>

#include "job/wide_to_ansi.h"

TEST(WideToAnsi, ConvertsWholeAndReplacesMissingCharacters)
{
    EXPECT_EQ(WideToAnsi(L"C:\\fax\\job.ini", 14), "C:\\fax\\job.ini");
    EXPECT_EQ(WideToAnsi(L"", 0), "");
    if (GetACP() == 1252)
        EXPECT_EQ(WideToAnsi(L"a\u4e2db", 3), "a?b");
}

// Run a second time under a Japanese locale (code page 932), where each of these
// characters takes two bytes.
TEST(WideToAnsi, DoubleByteNamesAreNotCut)
{
    if (GetACP() != 932)
        GTEST_SKIP() << "needs code page 932";
    std::wstring name = L"C:\\\u65e5\u672c\u8a9e\\\u30d5\u30a1\u30af\u30b9.ini";
    std::string ansi = WideToAnsi(name.data(), name.size());
    EXPECT_EQ(ansi.size(), name.size() + 7);
    wchar_t back[64] = {};
    int units = MultiByteToWideChar(CP_ACP, 0, ansi.data(), int(ansi.size()), back, 64);
    EXPECT_EQ(std::wstring(back, units), name);
}
