#include <gtest/gtest.h>

#include "system_state.h"
#include "tiff/page.h"

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
            ASSERT_TRUE(
                CopyFileA((BinDir() + "\\" + file).c_str(), (prog + "\\" + file).c_str(), FALSE));
        settings.Write("[Quilfa]\r\nProgDir=" + prog + "\\\r\nPrivateDir=" + privateDir +
                       "\\\r\nUser=0001\r\n");
    }
    void TearDown() override { RemoveControlFiles(); }

    // The queue log once it names a fax taken or refused.
    std::string WaitForFax() const
    {
        std::string text = "(no fax arrived)";
        WaitUntil(
            [&] {
                std::string log = ReadFileText(prog + "\\outbox\\queue.log");
                if (log.find("queued ") == std::string::npos &&
                    log.find("refused ") == std::string::npos)
                    return false;
                text = log;
                return true;
            },
            40000);
        return text;
    }

    // Prints with FAXPRINT.EXE once the program serves the pipe (exit code 4 until then).
    int Print(const std::string& arguments) const
    {
        int result = -1;
        WaitUntil([&] {
            result =
                RunProgram("\"" + prog + "\\FAXPRINT.exe\" --spool \"" + spool + "\" " + arguments);
            return result != 4;
        });
        return result;
    }
    int SpoolFiles() const
    {
        WIN32_FIND_DATAA entry;
        HANDLE find = FindFirstFileA((spool + "\\*").c_str(), &entry);
        int files = 0;
        if (find != INVALID_HANDLE_VALUE) {
            do
                files += !(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
            while (FindNextFileA(find, &entry));
            FindClose(find);
        }
        return files;
    }
    // The fax the scheduler queued, as named in its log.
    static std::string QueuedFax(const std::string& log)
    {
        std::size_t at = log.find("queued ");
        if (at == std::string::npos)
            return {};
        at += 7;
        return log.substr(at, log.find(" pages=", at) - at);
    }
    void Close(RunningProgram& tavon)
    {
        PostMessageA(FindWindowA("TtavonForm", "Kelvarin"), 1056, 0, 0);
        EXPECT_EQ(tavon.Wait(), 0);
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

    ASSERT_EQ(Print("\"" + dir / "letter.txt" + "\""), 0);

    std::string log = WaitForFax();
    EXPECT_NE(log.find("pages=3"), std::string::npos) << log;
    EXPECT_NE(log.find("started: " + prog + "\\QUEUEMGR.EXE"), std::string::npos) << log;
    EXPECT_FALSE(FileExists(privateDir + "\\FAX.$$$"));
    EXPECT_EQ(SpoolFiles(), 0) << "the spool is empty";
    Close(tavon);
}

TEST_F(WholeRoad, ReadyPagesArriveWithTheirPixels)
{
    RunningProgram tavon("\"" + prog + "\\TAVON.exe\"");
    std::string samples = BinDir() + "\\..\\testdata\\";
    ASSERT_EQ(Print("\"" + samples + "page2.tif\" \"" + samples + "page1.tif\" \"" + samples +
                    "page3.tif\""),
              0);
    std::string fax = QueuedFax(WaitForFax());
    ASSERT_FALSE(fax.empty());
    faxtiff::TiffFile file = faxtiff::TiffFile::Open(fax);
    ASSERT_EQ(file.PageCount(), 3u);
    int order[] = {2, 1, 3};
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_TRUE(
            file.ReadPage(i).Bitmap() ==
            faxtiff::LoadPage(samples + "page" + std::to_string(order[i]) + ".tif").Bitmap())
            << "page " << i + 1;
    EXPECT_EQ(SpoolFiles(), 0);
    Close(tavon);
}

TEST_F(WholeRoad, PrinterReportsWhatGoesWrong)
{
    WriteFileText(dir / "letter.txt", "A letter.\r\n");
    EXPECT_EQ(RunProgram("\"" + prog + "\\FAXPRINT.exe\" \"" + dir / "letter.txt" + "\""), 4)
        << "the program is not running";
    RunningProgram tavon("\"" + prog + "\\TAVON.exe\"");
    EXPECT_EQ(Print("\"" + dir / "missing.tif" + "\""), 3);
    EXPECT_EQ(Print("--pages"), 2) << "usage";
    // A big-endian header whose first directory lies beyond the file's end.
    WriteFileText(dir / "bad.tif", std::string("MM\0*\0\0\x10\0broken", 14));
    EXPECT_EQ(Print("\"" + dir / "bad.tif" + "\""), 3);
    EXPECT_EQ(SpoolFiles(), 0) << "nothing left behind";
    Close(tavon);
}
