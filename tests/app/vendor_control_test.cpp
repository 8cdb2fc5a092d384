#include <gtest/gtest.h>

#include "whole_road.h"

namespace {

// The whole road with an imaging control built as its vendor builds one (tests/product),
// on an end user's machine: no design-time licence beside it. It rebuilds the merged file
// on each save without a flush, and misbehaves when told to.
class VendorControl : public WholeRoad {
protected:
    void SetUp() override
    {
        WholeRoad::SetUp();
        std::string vendor = BinDir() + "\\..\\vendor";
        controlDir = dir / "vendor";
        CreateDirectoryA(controlDir.c_str(), nullptr);
        control = controlDir + "\\IMOCX32.OCX";
        ASSERT_TRUE(CopyFileA((vendor + "\\IMOCX32.OCX").c_str(), control.c_str(), FALSE));
        ASSERT_EQ(CallServer(control, "DllRegisterServer"), S_OK);
        keyed = vendor + "\\keyed\\TAVON.exe";
    }
    void TearDown() override
    {
        // The stand-in's registration back for the tests that follow.
        CallServer(SystemDirectory() + "\\IMOCX32.OCX", "DllRegisterServer");
        WholeRoad::TearDown();
    }

    // The program built with the control's runtime licence key.
    void InstallKeyedProgram() const
    {
        ASSERT_TRUE(CopyFileA(keyed.c_str(), (prog + "\\TAVON.exe").c_str(), FALSE));
    }
    void Misbehave(const std::string& kind, int save) const
    {
        WriteFileText(controlDir + "\\IMOCX32.INI",
                      "[Misbehave]\r\nKind=" + kind + "\r\nSave=" + std::to_string(save) + "\r\n");
    }
    std::string ControlLog() const { return ReadFileText(controlDir + "\\IMOCX32.LOG"); }

    std::string controlDir, control, keyed;
};

}  // namespace

TEST_F(VendorControl, AKeyedProgramHostsItAsAContainerAndSendsEveryPageInOrder)
{
    InstallKeyedProgram();
    auto tavon = std::make_unique<RunningProgram>("\"" + prog + "\\TAVON.exe\"");
    PrintSamples({2, 1, 3});
    EXPECT_TRUE(HasSamples(QueuedFax(WaitForFax()), {2, 1, 3}));
    EXPECT_TRUE(SpoolEmptied());
    Close(*tavon);

    std::string log = ControlLog();
    EXPECT_EQ(log.rfind("CreateInstanceLic ok\r\nGetMiscStatus\r\nSetClientSite site\r\nUserMode "
                        "1\r\nInitNew\r\nDoVerb -5 rect=-300,-100,-75,-50\r\n",
                        0),
              0u)
        << log;
    EXPECT_NE(log.find("\r\nClose\r\nSetClientSite null\r\nFinal release\r\n"), std::string::npos)
        << log;
    EXPECT_EQ(log.find(" refused"), std::string::npos) << log;
}

TEST_F(VendorControl, AProgramWithoutTheKeySaysItIsTheLicence)
{
    RunningProgram tavon("\"" + prog + "\\TAVON.exe\"");
    HWND box = WaitForWindow("#32770", "Tavon");
    ASSERT_TRUE(box);
    EXPECT_EQ(MessageBoxText(box),
              "The imaging control IMOCX32.OCX {0EABA3C0-D884-101B-8CAE-00006E44AAB2} is not "
              "licensed on this computer, and this program was built without the control's "
              "runtime licence key. Build the program with the key (KELVARIN_IMAGING_LICENSE_KEY), "
              "or install the control's licence.");
    PressOk(box);
    EXPECT_EQ(tavon.Wait(), 1);
}

// Whatever the control does with a save, no page is lost, and what the fax goes without
// is told.
TEST_F(VendorControl, EveryMisbehaviourLosesNoPageAndIsTold)
{
    InstallKeyedProgram();
    struct Case {
        const char* kind;
        std::vector<int> fax;
        std::string box;  // the start of the one box, or none
    };
    const Case cases[] = {
        {"skip",
         {1, 3},
         "Pages left out of the fax:\r\npage 2 (not saved by the imaging control): "},
        {"overwrite",
         {1, 2, 3},
         "The imaging control damaged the merged file: the fax is merged again"},
        {"linkfail", {1, 2, 3}, ""},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.kind);
        Misbehave(test.kind, 2);
        DeleteFileA((prog + "\\outbox\\queue.log").c_str());
        RunningProgram tavon("\"" + prog + "\\TAVON.exe\"");
        PrintSamples({1, 2, 3});
        if (!test.box.empty()) {
            HWND box = WaitForWindow("#32770", "Information", 30000);
            ASSERT_TRUE(box);
            std::string text = MessageBoxText(box);
            EXPECT_EQ(text.substr(0, test.box.size()), test.box) << text;
            PressOk(box);
        }
        EXPECT_TRUE(HasSamples(QueuedFax(WaitForFax()), test.fax));
        EXPECT_EQ(FindWindowA("#32770", "Information"), nullptr) << "no other box";
        WIN32_FIND_DATAA kept;
        HANDLE find = FindFirstFileA((spool + "\\*-kept-*").c_str(), &kept);
        if (test.fax.size() < 3) {
            ASSERT_NE(find, INVALID_HANDLE_VALUE) << "the left-out page is kept";
            EXPECT_TRUE(HasSamples(spool + "\\" + kept.cFileName, {2}));
            FindClose(find);
            DeleteFileA((spool + "\\" + kept.cFileName).c_str());
        } else {
            EXPECT_EQ(find, INVALID_HANDLE_VALUE);
        }
        EXPECT_TRUE(SpoolEmptied());
        Close(tavon);
    }
}
