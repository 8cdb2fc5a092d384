#include <gtest/gtest.h>

#include <cstdio>
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
    // A top-level window of that class belonging to the process, or null.
    static HWND WindowOf(const char* className, DWORD processId)
    {
        HWND window = nullptr;
        while ((window = FindWindowExA(nullptr, window, className, nullptr))) {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == processId)
                return window;
        }
        return nullptr;
    }
    // The main window once the program has created it.
    static HWND MainWindowOf(DWORD processId)
    {
        HWND window = nullptr;
        WaitUntil([&] { return (window = WindowOf("TtavonForm", processId)) != nullptr; });
        return window;
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
        EXPECT_TRUE(WaitUntil([window] { return IsWindowVisible(window) != FALSE; })) << argument;
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
    // Unregistering from the printer pipe at the end: BindsToAPrinterPipeLibraryBuiltByItsVendor.
    EXPECT_EQ(GlobalFindAtomA("OnlyOneTavon"), 0) << "released at the end";
}

TEST_F(MainWindow, BindsToAPrinterPipeLibraryBuiltByItsVendor)
{
    // Beside a vendor's library, which records its calls, instead of our stand-in.
    std::string program = progDir + "\\TAVON.EXE";
    ASSERT_TRUE(CopyFileA((BinDir() + "\\TAVON.exe").c_str(), program.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA((BinDir() + "\\..\\vendor\\ORVIKCTR.DLL").c_str(),
                          (progDir + "\\ORVIKCTR.DLL").c_str(), FALSE));
    RunningProgram tavon("\"" + program + "\"");
    HWND window = MainWindowOf(tavon.Id());
    ASSERT_TRUE(window) << "no start beside the vendor's library";
    std::string log = progDir + "\\PRNPIPE.LOG";
    ASSERT_TRUE(WaitUntil([&log] { return !ReadFileText(log).empty(); }));
    PostMessageA(window, kCloseRequest, 0, 0);
    EXPECT_EQ(tavon.Wait(), 0);
    char calls[128];
    std::snprintf(calls, sizeof calls,
                  "WaitForPrnPipe window=%p class=TtavonForm message=3347\r\nEndWaitPrnPipe\r\n",
                  static_cast<void*>(window));
    EXPECT_EQ(ReadFileText(log), calls);
}

TEST_F(MainWindow, WithoutTheSwitchNothingShows)
{
    for (const char* argument : {"", " a /D"}) {
        auto tavon = Start(argument);
        HWND window = MainWindowOf(tavon->Id());
        ASSERT_TRUE(window);
        // A tick, then an end of document without an output name, whose box proves
        // that the tick before it has been handled.
        PostMessageA(window, WM_TIMER, 1, 0);
        ASSERT_EQ(PrintRaw("2"), 0) << "registered with the printer pipe";
        HWND box = WaitForWindow("#32770", "Information");
        ASSERT_TRUE(box);
        EXPECT_FALSE(IsWindowVisible(window)) << argument;
        EXPECT_EQ(SendMessageA(window, WM_QUERYOPEN, 0, 0), 0);
        PressOk(box);
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
    EXPECT_EQ(PrintRaw("7"), 4) << "never registered with the printer pipe";
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

TEST_F(MainWindow, AKilledCopyDoesNotStopLaterStarts)
{
    {
        auto killed = Start(" /D");
        ASSERT_TRUE(MainWindowOf(killed->Id()));
        // Its guard runs after the window is made: killed once its atom is there.
        ASSERT_TRUE(WaitUntil([] { return GlobalFindAtomA("OnlyOneTavon") != 0; }));
    }  // terminated: its atom reference stays behind
    ASSERT_NE(GlobalFindAtomA("OnlyOneTavon"), 0);

    auto next = Start(" /D");
    HWND window = MainWindowOf(next->Id());
    ASSERT_TRUE(window) << "the only copy left runs";
    EXPECT_EQ(PrintRaw("7"), 0) << "and serves the printer pipe";
    // With its window there, a further start is a second copy again.
    auto second = Start(" /D");
    EXPECT_EQ(second->Wait(), 0);
    EXPECT_EQ(PrintRaw("7"), 0);
    PostMessageA(window, kCloseRequest, 0, 0);
    EXPECT_EQ(next->Wait(), 0);
    GlobalDeleteAtomsNamed("OnlyOneTavon");
}

TEST_F(MainWindow, ASecondCopyRestoresTheFirstByItsWholeTitleAndCallsItselfDestroyMe)
{
    // A title longer than the 20 characters of the atom's name.
    std::string program = BinDir() + "\\TAVONLONGERTHANTWENTY.exe";
    ASSERT_TRUE(CopyFileA((BinDir() + "\\TAVON.exe").c_str(), program.c_str(), FALSE));
    GlobalDeleteAtomsNamed("OnlyOneTavonlongerthantwen");
    RunningProgram first("\"" + program + "\"");
    HWND window = MainWindowOf(first.Id());
    ASSERT_TRUE(window);
    HWND application = WindowOf("TApplication", first.Id());
    ASSERT_TRUE(application);
    ShowWindow(application, SW_MINIMIZE);
    // A window named by the title cut to 20 characters must not be the one found.
    HWND decoy = CreateWindowA("STATIC", "Tavonlongerthantwen", WS_OVERLAPPEDWINDOW, 0, 0, 50, 50,
                               nullptr, nullptr, nullptr, nullptr);
    ShowWindow(decoy, SW_MINIMIZE);

    // The second copy's settings error shows its box under the name it took.
    settings.Write("[Quilfa]\r\nProgDir=" + progDir + "\\\r\nUser=\r\n");
    RunningProgram second("\"" + program + "\"");
    HWND box = WaitForWindow("#32770", "destroy me");
    ASSERT_TRUE(box);
    PressOk(box);
    EXPECT_EQ(second.Wait(), 0);
    EXPECT_FALSE(IsIconic(application)) << "restored";
    EXPECT_TRUE(IsIconic(decoy));
    DestroyWindow(decoy);
    PostMessageA(window, kCloseRequest, 0, 0);
    EXPECT_EQ(first.Wait(), 0);
    DeleteFileA(program.c_str());
}

TEST_F(MainWindow, KeysGoToTheLogPane)
{
    auto tavon = Start(" /D");
    HWND window = MainWindowOf(tavon->Id());
    ASSERT_TRUE(window);
    // The children are made after the main window itself.
    HWND console = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        return (console = FindWindowExA(window, nullptr, "TConsole", nullptr)) != nullptr;
    }));
    DWORD thread = GetWindowThreadProcessId(window, nullptr);
    // Focus moves to the main window whenever it is activated, here by being shown.
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    WaitUntil([&] { return GetGUIThreadInfo(thread, &gui) && gui.hwndFocus == console; });
    EXPECT_EQ(gui.hwndFocus, console);
    PostMessageA(window, kCloseRequest, 0, 0);
    EXPECT_EQ(tavon->Wait(), 0);
}

// Says in words what is wrong and what to do, and ends.
TEST_F(MainWindow, AControlThatCannotBeCreatedSaysWhy)
{
    ASSERT_EQ(CallServer(SystemDirectory() + "\\IMOCX32.OCX", "DllUnregisterServer"), S_OK);

    auto tavon = Start(" /D");
    HWND box = WaitForWindow("#32770", "Tavon");
    ASSERT_TRUE(box);
    EXPECT_EQ(MessageBoxText(box),
              "The imaging control IMOCX32.OCX {0EABA3C0-D884-101B-8CAE-00006E44AAB2} is not "
              "registered. Run the fax product's registration tool ZEP.EXE, or register the "
              "control with regsvr32.");
    HWND icon = FindWindowExA(box, nullptr, "Static", nullptr);
    bool hasIcon = false;
    for (; icon; icon = FindWindowExA(box, icon, "Static", nullptr))
        hasIcon = hasIcon || SendMessageA(icon, STM_GETICON, 0, 0) != 0;
    EXPECT_TRUE(hasIcon) << "the error icon";
    // Its main window is gone with its object, so no message can reach what was freed.
    EXPECT_EQ(WindowOf("TtavonForm", tavon->Id()), nullptr);
    PressOk(box);
    EXPECT_EQ(tavon->Wait(), 1);
    EXPECT_EQ(GlobalFindAtomA("OnlyOneTavon"), 0) << "the guard never ran";
}
