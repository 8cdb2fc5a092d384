#include <gtest/gtest.h>

#include "system_state.h"

namespace {

// The product as installed: the program and the scheduler in one program directory.
class WholeRoad : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(RunProgram("\"" + BinDir() + "\\ZEP.exe\" /RTAVON"), 0);
        DeleteFileA((BinDir() + "\\ZEP.LOG").c_str());
        prog = dir / "PROG";
        privateDir = dir / "private";
        spool = dir / "spool";
        CreateDirectoryA(prog.c_str(), nullptr);
        CreateDirectoryA(privateDir.c_str(), nullptr);
        for (const char* file : {"TAVON.exe", "ORVIKCTR.dll", "QUEUEMGR.exe", "FAXPRINT.exe"})
            ASSERT_TRUE(CopyFileA((BinDir() + "\\" + file).c_str(), (prog + "\\" + file).c_str(),
                                  FALSE));
        settings.Write("[Quilfa]\r\nProgDir=" + prog + "\\\r\nPrivateDir=" + privateDir +
                       "\\\r\nUser=0001\r\n");
    }
    void TearDown() override { RemoveControlFiles(); }

    // The queue log once it names a fax taken or refused.
    std::string WaitForFax() const
    {
        std::string log = prog + "\\outbox\\queue.log";
        ULONGLONG deadline = GetTickCount64() + 40000;
        while (GetTickCount64() < deadline) {
            std::string text = ReadFileText(log);
            if (text.find("queued ") != std::string::npos ||
                text.find("refused ") != std::string::npos)
                return text;
            Sleep(100);
        }
        return "(no fax arrived)";
    }

    TempDir dir;
    SettingsFile settings;
    std::string prog, privateDir, spool;
};

}  // namespace

TEST_F(WholeRoad, PrintedTextArrivesInTheOutboxAsOneFax)
{
    RunningProgram tavon("\"" + prog + "\\TAVON.exe\" /D");
    std::string text;
    for (int line = 1; line <= 150; ++line)
        text += "Line " + std::to_string(line) + " of a document that takes three pages.\r\n";
    WriteFileText(dir / "letter.txt", text);

    int printed = -1;
    for (int attempt = 0; attempt < 50 && printed != 0; ++attempt) {
        printed = RunProgram("\"" + prog + "\\FAXPRINT.exe\" --spool \"" + spool + "\" \"" +
                             dir / "letter.txt" + "\"");
        if (printed != 0)
            Sleep(200);  // the program may not serve the pipe yet
    }
    ASSERT_EQ(printed, 0);

    std::string log = WaitForFax();
    EXPECT_NE(log.find("pages=3"), std::string::npos) << log;
    EXPECT_NE(log.find("started: " + prog + "\\QUEUEMGR.EXE"), std::string::npos) << log;
    EXPECT_FALSE(FileExists(privateDir + "\\FAX.$$$"));

    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((spool + "\\*").c_str(), &entry);
    int left = 0;
    if (find != INVALID_HANDLE_VALUE) {
        do
            left += !(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
        while (FindNextFileA(find, &entry));
        FindClose(find);
    }
    EXPECT_EQ(left, 0) << "the spool is empty";

    PostMessageA(FindWindowA("TtavonForm", "Kelvarin"), 1056, 0, 0);
    EXPECT_EQ(tavon.Wait(), 0);
}
