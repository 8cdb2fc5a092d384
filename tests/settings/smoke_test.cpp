#include <gtest/gtest.h>
#include <windows.h>
TEST(Smoke, Windows) { char b[MAX_PATH]; EXPECT_GT(GetWindowsDirectoryA(b, MAX_PATH), 0u); }
