#include <gtest/gtest.h>

#include <memory>

#include "system_state.h"

namespace {

constexpr UINT kCloseRequest = 1056;

// The product installed in a scratch program directory, the controls registered.
class MainWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        GlobalDeleteAtomsNamed("OnlyOneTavon");
        ASSERT_EQ(RunProgram("\"" + BinDir() + "\\ZEP.exe\" /RTAVON"), 0);
        DeleteFileA((BinDir() + "\\ZEP.LOG").c_str());
        progDir = dir / "PROG";
        CreateDirectoryA(progDir.c_str(), nullptr);
        CreateDirectoryA((dir / "private").c_str(), nullptr);
        settings.Write("[Quilfa]\r\nProgDir=" + progDir + "\\\r\nPrivateDir=" + dir.Path() +
                       "\\private\\\r\nUser=0001\r\n");
    }
    void TearDown() override { RemoveControlFiles(); }

    static void GlobalDeleteAtomsNamed(const char* name)
    {
        while (ATOM atom = GlobalFindAtomA(name))
            GlobalDeleteAtom(atom);
    }
    std::unique_ptr<RunningProgram> Start(const std::string& arguments)
    {
        return std::make_unique<RunningProgram>("\"" + BinDir() + "\\TAVON.exe\"" + arguments);
    }
    // The main window once its first timer tick has decided on debug mode.
    static HWND MainWindowOf(DWORD processId)
    {
        ULONGLONG deadline = GetTickCount64() + 15000;
        while (GetTickCount64() < deadline) {
            HWND window = nullptr;
            while ((window = FindWindowExA(nullptr, window, "TtavonForm", "Kelvarin"))) {
                DWORD owner = 0;
                GetWindowThreadProcessId(window, &owner);
                if (owner == processId)
                    return window;
            }
            Sleep(50);
        }
        return nullptr;
    }
    static int PrintRaw(const std::string& arguments)
    {
        return RunProgram("\"" + BinDir() + "\\FAXPRINT.exe\" --raw " + arguments);
    }

    TempDir dir;
    SettingsFile settings;
    std::string progDir;
};

}  // namespace

TEST_F(MainWindow, DebugSwitchShowsTheWindowWhereItWasLaidOut)
{
    for (const char* argument : {" /D", " /d", " x/dy", " /DEBUG"}) {
        auto tavon = Start(argument);
        HWND window = MainWindowOf(tavon->Id());
        ASSERT_TRUE(window) << argument;
        ULONGLONG deadline = GetTickCount64() + 5000;
        while (!IsWindowVisible(window) && GetTickCount64() < deadline)
            Sleep(50);
        EXPECT_TRUE(IsWindowVisible(window)) << argument;
        RECT bounds;
        GetWindowRect(window, &bounds);
        EXPECT_EQ(bounds.left, 42);
        EXPECT_EQ(bounds.top, 364);
        EXPECT_EQ(bounds.right - bounds.left, 600);
        EXPECT_EQ(bounds.bottom - bounds.top, 300);
        EXPECT_EQ(SendMessageA(window, WM_QUERYOPEN, 0, 0), 1);
        PostMessageA(window, kCloseRequest, 0, 0);
        EXPECT_EQ(tavon->Wait(), 0) << argument;
    }
    EXPECT_EQ(GlobalFindAtomA("OnlyOneTavon"), 0) << "released at the end";
    EXPECT_EQ(PrintRaw("0 x.ini"), 3) << "unregistered from the printer pipe";
}

TEST_F(MainWindow, WithoutTheSwitchNothingShows)
{
    for (const char* argument : {"", " a /D"}) {
        auto tavon = Start(argument);
        HWND window = MainWindowOf(tavon->Id());
        ASSERT_TRUE(window);
        Sleep(700);  // well past the first timer tick
        EXPECT_FALSE(IsWindowVisible(window)) << argument;
        EXPECT_EQ(SendMessageA(window, WM_QUERYOPEN, 0, 0), 0);
        EXPECT_EQ(PrintRaw("7"), 0) << "registered with the printer pipe";
        PostMessageA(window, kCloseRequest, 0, 0);
        EXPECT_EQ(tavon->Wait(), 0);
    }
}

TEST_F(MainWindow, BadUserNumberIsShownAndTheProgramRunsOnDeaf)
{
    settings.Write("[Quilfa]\r\nProgDir=" + progDir + "\\\r\nUser=\r\n");
    auto tavon = Start(" /D");
    HWND box = WaitForWindow("#32770", "Tavon");
    ASSERT_TRUE(box);
    EXPECT_EQ(MessageBoxText(box), "'' is not a valid integer value.");
    PressOk(box);
    HWND window = MainWindowOf(tavon->Id());
    ASSERT_TRUE(window);
    Sleep(500);
    EXPECT_FALSE(IsWindowVisible(window)) << "no timer, so no debug mode";
    EXPECT_EQ(PrintRaw("7"), 3) << "never registered with the printer pipe";
    PostMessageA(window, kCloseRequest, 0, 0);
    EXPECT_EQ(tavon->Wait(), 0);
}

TEST_F(MainWindow, ASecondCopyEndsAndLeavesTheFirstRunning)
{
    auto first = Start(" /D");
    HWND window = MainWindowOf(first->Id());
    ASSERT_TRUE(window);
    auto second = Start(" /D");
    EXPECT_EQ(second->Wait(), 0);
    EXPECT_NE(GlobalFindAtomA("OnlyOneTavon"), 0);
    EXPECT_EQ(PrintRaw("7"), 0) << "the first copy still serves the printer pipe";
    PostMessageA(window, kCloseRequest, 0, 0);
    EXPECT_EQ(first->Wait(), 0);
    EXPECT_EQ(GlobalFindAtomA("OnlyOneTavon"), 0) << "both references released";
}

TEST_F(MainWindow, AStaleAtomMakesEveryStartEnd)
{
    GlobalAddAtomA("OnlyOneTavon");
    auto tavon = Start(" /D");
    EXPECT_EQ(tavon->Wait(), 0);
    EXPECT_NE(GlobalFindAtomA("OnlyOneTavon"), 0);
    GlobalDeleteAtomsNamed("OnlyOneTavon");
}
