#include <gtest/gtest.h>

#include "system_state.h"

namespace {

// A program directory of the product with the registration tool in it.
class RegistrationPath : public ::testing::Test {
protected:
    void SetUp() override
    {
        RemoveControlFiles();
        // A blank in the folder's name, and a program named by the part before it, which an
        // unquoted command line would start instead.
        progDir = dir / "Fax PROG";
        WriteFileText(dir / "Fax.exe", "not a program");
        CreateDirectoryA(progDir.c_str(), nullptr);
        ASSERT_TRUE(
            CopyFileA((BinDir() + "\\ZEP.exe").c_str(), (progDir + "\\ZEP.EXE").c_str(), FALSE));
    }
    void TearDown() override { RemoveControlFiles(); }

    std::string Tavon(const std::string& arguments) const
    {
        return "\"" + BinDir() + "\\TAVON.exe\"" + arguments;
    }
    // The program's start-up box with that text; once it is closed, the program ends.
    static void ExpectBoxThenEnd(RunningProgram& tavon, const std::string& text)
    {
        HWND box = WaitForWindow("#32770", "Tavon");
        ASSERT_TRUE(box);
        EXPECT_EQ(MessageBoxText(box), text);
        PressOk(box);
        EXPECT_EQ(tavon.Wait(), 0);
    }
    // The command line the tool logged, once it has logged its outcome too (here it finds
    // no controls beside it to copy): a tool still at work would take the control files the
    // next test lays out for another maker's. A refusal's box is closed: no tool outlives
    // its test.
    std::string ZepCommandLine() const
    {
        std::string log;
        bool ended = WaitUntil([&] {
            log = ReadFileText(progDir + "\\ZEP.LOG");
            return log.find("registered ") != std::string::npos ||
                   log.find("failed: ") != std::string::npos ||
                   log.find("refused: ") != std::string::npos;
        });
        if (log.find("refused: ") != std::string::npos)
            if (HWND box = WaitForWindow("#32770", "ZEP"))
                PressOk(box);
        EXPECT_TRUE(ended) << log;
        EXPECT_EQ(log.find("refused: "), std::string::npos) << log;
        std::size_t at = log.find("command line: ");
        std::size_t end = at == std::string::npos ? at : log.find("\r\n", at);
        return end == std::string::npos ? "(no command line logged)"
                                        : log.substr(at + 14, end - at - 14);
    }

    TempDir dir;
    SettingsFile settings;
    std::string progDir;
};

}  // namespace

TEST_F(RegistrationPath, StartsTheToolWithTheFirstArgument)
{
    settings.Write("[Quilfa]\r\nProgDir=" + progDir + "\\\r\n");
    RunningProgram tavon(Tavon(" /D second"));
    EXPECT_EQ(tavon.Wait(), 0);
    EXPECT_EQ(ZepCommandLine(), "\"" + progDir + "\\ZEP\" /RTAVON /D");
}

TEST_F(RegistrationPath, WithoutArgumentTheCommandLineEndsInABlank)
{
    settings.Write("[Quilfa]\r\nProgDir=" + progDir + "\\\r\n");
    RunningProgram tavon(Tavon(""));
    EXPECT_EQ(tavon.Wait(), 0);
    EXPECT_EQ(ZepCommandLine(), "\"" + progDir + "\\ZEP\" /RTAVON ");
}

TEST_F(RegistrationPath, EitherControlFileMissingIsEnough)
{
    settings.Write("[Quilfa]\r\nProgDir=" + progDir + "\\\r\n");
    for (const char* present : {"IMOCX32.OCX", "IMTWAIN3.OCX"}) {
        RemoveControlFiles();
        DeleteFileA((progDir + "\\ZEP.LOG").c_str());
        // Ours: the tool leaves another maker's file alone and says so in a box.
        ASSERT_TRUE(CopyFileA((BinDir() + "\\" + present).c_str(),
                              (SystemDirectory() + "\\" + present).c_str(), FALSE));
        RunningProgram tavon(Tavon(" x"));
        EXPECT_EQ(tavon.Wait(), 0) << present;
        EXPECT_EQ(ZepCommandLine(), "\"" + progDir + "\\ZEP\" /RTAVON x") << "only " << present;
    }
}

TEST_F(RegistrationPath, ProgDirWithoutBackslashFailsToStartTheTool)
{
    settings.Write("[Quilfa]\r\nProgDir=" + progDir + "\r\n");
    RunningProgram tavon(Tavon(""));
    ExpectBoxThenEnd(tavon, "Could not register Image ActiveX Control");
    EXPECT_FALSE(FileExists(progDir + "\\ZEP.LOG"));
}

TEST_F(RegistrationPath, NoProgDirAsksForTheUserSetupFirst)
{
    settings.Write("[Quilfa]\r\nUser=0001\r\n");
    RunningProgram tavon(Tavon(" /D"));
    ExpectBoxThenEnd(tavon, "You must run Kalmset and Set User first.");
    // The tool is then looked for in the usual places: beside the program. It has
    // ended once it logged its outcome, and put no control file in place after this.
    std::string log = BinDir() + "\\ZEP.LOG";
    EXPECT_TRUE(WaitUntil(
        [&] { return ReadFileText(log).find("registered IMOCX32.OCX") != std::string::npos; }));
    DeleteFileA(log.c_str());
}

TEST_F(RegistrationPath, OverlongProgDirIsReportedNotCut)
{
    std::string longDir = progDir + "\\" + std::string(300, 'x') + "\\";
    settings.Write("[Quilfa]\r\nProgDir=" + longDir + "\r\n");
    // The program a command line cut to 144 characters would start: it would log here.
    std::string cut = (longDir + "ZEP /RTAVON ").substr(0, 144) + ".EXE";
    ASSERT_TRUE(CopyFileA((BinDir() + "\\ZEP.exe").c_str(), cut.c_str(), FALSE)) << cut;
    RunningProgram tavon(Tavon(""));
    ExpectBoxThenEnd(tavon, "Could not register Image ActiveX Control");
    EXPECT_FALSE(FileExists(progDir + "\\ZEP.LOG")) << "a cut command line was run";
}
