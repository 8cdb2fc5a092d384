#include <gtest/gtest.h>

#include "whole_road.h"
#include "tiff/page.h"

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
    EXPECT_NE(log.find("started: \"" + prog + "\\QUEUEMGR.EXE\""), std::string::npos) << log;
    EXPECT_FALSE(FileExists(privateDir + "\\FAX.$$$"));
    EXPECT_TRUE(SpoolEmptied());
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
    EXPECT_TRUE(SpoolEmptied());
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

// A close request that comes while a job shows a box leaves the box to be read; the
// program ends once the job has.
TEST_F(WholeRoad, ACloseRequestDuringAJobWaitsForItsEnd)
{
    std::string target = dir / "OUT.TIF";
    settings.Write("[Quilfa]\r\nProgDir=" + prog + "\\\r\nPrivateDir=" + privateDir +
                   "\\\r\nUser=0001\r\n[GXAPI]\r\nFileName=" + target + "\r\n");
    RunningProgram tavon("\"" + prog + "\\TAVON.exe\"");
    // Read, but not written, while this is open: the job cannot empty the entry.
    HANDLE held = CreateFileA(settings.Path().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ASSERT_EQ(Print("\"" + SamplePage(1) + "\""), 0);
    HWND box = WaitForWindow("#32770", "Information", 30000);
    ASSERT_TRUE(box);
    SendMessageA(FindWindowA("TtavonForm", "Kelvarin"), 1056, 0, 0);
    // A quit request would have closed the box at once and ended the program.
    EXPECT_EQ(tavon.Wait(3000), -1) << "the program waits for the box";
    EXPECT_TRUE(IsWindowVisible(box)) << "the box stays to be read";
    CloseHandle(held);
    PressOk(box);
    EXPECT_EQ(tavon.Wait(), 0);
    EXPECT_TRUE(RecordedJobs().empty()) << "the job ended before the program";
    EXPECT_EQ(SpoolFiles(), 0);
}
