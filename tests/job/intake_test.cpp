#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "base/exception.h"
#include "base/message_pump.h"
#include "base/text_conversion.h"
#include "job/print_job.h"
#include "product/prn_pipe.h"
#include "recording_console.h"
#include "settings/fax_settings.h"
#include "job_fixture.h"
#include "notice_receiver.h"
#include "test_support.h"

namespace {

class Intake : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        RegisterImagingControl();
        receiver = new NoticeReceiver;
        ASSERT_TRUE(WaitForPrnPipe(receiver->Handle(), WM_PRNPIPE_NOTIFY));
    }
    static void TearDownTestSuite()
    {
        EndWaitPrnPipe();
        delete receiver;
    }
    void SetUp() override
    {
        receiver->HandTo(&job);
        SetTestWindowsDirectory(dir.Path());
        // No scheduler in the program directory: the hand-off shows nothing.
        WriteFileText(dir / "QFSCH.INI", "[Quilfa]\r\nProgDir=" + dir.Path() +
                                             "\\\r\nPrivateDir=" + dir.Path() + "\\\r\n");
        DebugMode = true;
    }
    void TearDown() override
    {
        receiver->HandTo(nullptr);
        SetTestWindowsDirectory("");
        DebugMode = false;
    }

    // Sends one record through the real pipe, then handles messages until it arrived.
    void Print(std::uint32_t code, const std::string& path)
    {
        int before = receiver->Count();
        std::string line = "\"" + BinDir() + "\\FAXPRINT.exe\" --raw " + std::to_string(code);
        if (!path.empty())
            line += " \"" + path + "\"";
        ASSERT_EQ(RunProgram(line), 0) << line;
        PumpUntil(before + 1);
    }

    // Writes one record straight into the pipe, as a printer with a UTF-16 name would.
    void PrintWide(std::uint32_t code, const std::wstring& path)
    {
        int before = receiver->Count();
        HANDLE pipe =
            CreateFileW(kPrnPipeName, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
        PrnPipeRecordHeader header{code, static_cast<std::uint32_t>(path.size())};
        DWORD written = 0;
        WriteFile(pipe, &header, sizeof header, &written, nullptr);
        WriteFile(pipe, path.data(), DWORD(path.size() * sizeof(wchar_t)), &written, nullptr);
        CloseHandle(pipe);
        PumpUntil(before + 1);
    }

    static void PumpUntil(int notices)
    {
        ASSERT_TRUE(receiver->PumpUntil(notices)) << "notification did not arrive";
    }

    void EndDoc(const std::string& outputName)
    {
        job.OutputImageName = outputName;
        job.WMPrnPipeNotify(reinterpret_cast<WPARAM>(MakeNotice(PMT_END_DOC, L"", 526, true)));
    }

    static NoticeReceiver* receiver;
    TempDir dir;
    RecordingConsole console;
    TImageMan im{nullptr, RECT{}, L""};
    TestSurroundings surroundings;
    std::vector<std::string>& InfoBoxes = surroundings.boxes;
    TPrintJob job{console, im, surroundings, ToWide(dir / "records"), kTestWaits};
};

NoticeReceiver* Intake::receiver = nullptr;

}  // namespace

TEST_F(Intake, PipeRecordsSetTheJobNames)
{
    Print(PMT_JOB_FILE, "C:\\spool\\job1.ini");
    Print(PMT_OUTPUT_FILE, "C:\\spool\\job1.tif");
    EXPECT_EQ(job.JobIniName, "C:\\spool\\job1.ini");
    EXPECT_EQ(job.OutputImageName, "C:\\spool\\job1.tif");

    Print(7, "C:\\other.ini");
    EXPECT_EQ(job.JobIniName, "C:\\spool\\job1.ini");
    EXPECT_EQ(job.OutputImageName, "C:\\spool\\job1.tif");
    EXPECT_TRUE(console.written.empty()) << "names and unknown codes write no log line";
}

TEST_F(Intake, LongNamesAreKeptWhole)
{
    std::string path = "C:\\" + std::string(296, 'p') + ".ini";
    Print(PMT_JOB_FILE, path);
    EXPECT_EQ(job.JobIniName, path);
}

TEST_F(Intake, MalformedBlocksAreHandledSafely)
{
    job.JobIniName = "kept";
    job.WMPrnPipeNotify(0);
    EXPECT_EQ(job.JobIniName, "kept");

    // Shorter than the header of a name: no name, nothing read past the block.
    job.WMPrnPipeNotify(reinterpret_cast<WPARAM>(MakeNotice(PMT_JOB_FILE, L"x", 100, false)));
    EXPECT_EQ(job.JobIniName, "");

    // A name without terminator ends at the block's end.
    job.WMPrnPipeNotify(reinterpret_cast<WPARAM>(
        MakeNotice(PMT_JOB_FILE, L"abcdef", kNoticePathOffset + 6, false)));
    EXPECT_EQ(job.JobIniName, "abc");

    job.WMPrnPipeNotify(reinterpret_cast<WPARAM>(MakeNotice(PMT_OUTPUT_FILE, L"", 2, false)));
    EXPECT_TRUE(console.written.empty());
}

TEST_F(Intake, BadRecordsAreDroppedAndThePipeGoesOn)
{
    HANDLE pipe = CreateFileW(kPrnPipeName, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    PrnPipeRecordHeader header{PMT_JOB_FILE, kMaxPathUnits + 1};
    DWORD written = 0;
    WriteFile(pipe, &header, sizeof header, &written, nullptr);
    CloseHandle(pipe);

    Print(PMT_JOB_FILE, "C:\\after.ini");
    EXPECT_EQ(job.JobIniName, "C:\\after.ini");
}

TEST_F(Intake, EndDocChecksThatThePrinterWritesTiff)
{
    for (const char* name : {"C:\\spool\\page.tif", "C:\\OUT.TIF\\page.pcl", "c:\\a.Tiff"}) {
        console.written.clear();
        EndDoc(name);
        EXPECT_TRUE(InfoBoxes.empty()) << name;
        ASSERT_FALSE(console.Messages().empty());
        EXPECT_EQ(console.Messages().front(), "==============START: PMT_END_DOC");
        EXPECT_EQ(console.Messages().back(), "==============FINISHED: PMT_END_DOC");
    }
    for (const char* name : {"C:\\spool\\page.pcl", ""}) {
        console.written.clear();
        InfoBoxes.clear();
        EndDoc(name);
        ASSERT_EQ(InfoBoxes.size(), 1u) << name;
        EXPECT_EQ(InfoBoxes[0],
                  "Printer output is not TIF.  Change printer properties to use TIF G3 1D");
        EXPECT_EQ(console.Messages(),
                  (std::vector<std::string>{"==============START: PMT_END_DOC", "After sleep",
                                            "After readQFSchIni",
                                            "==============FINISHED: PMT_END_DOC"}));
    }
}

TEST_F(Intake, EndDocThroughThePipeReloadsTheSettings)
{
    WriteFileText(dir / "QFSCH.INI",
                  "[Quilfa]\r\nProgDir=" + dir.Path() + "\\\r\nPrivateDir=P\\\r\n");
    Print(PMT_OUTPUT_FILE, "C:\\x.pcl");
    Print(PMT_END_DOC, "");
    Print(PMT_END_DOC, "");
    EXPECT_EQ(FaxSettings.PrivateDir, "P\\");
    EXPECT_EQ(InfoBoxes.size(), 2u) << "a second end of document runs again on the same names";
}

TEST_F(Intake, SettingsErrorEndsTheSequenceWithoutFinishedLine)
{
    WriteFileText(dir / "QFSCH.INI", "[Quilfa]\r\nUser=abc\r\n");
    Print(PMT_OUTPUT_FILE, "C:\\x.tif");
    Print(PMT_END_DOC, "");
    ASSERT_EQ(InfoBoxes.size(), 1u);
    EXPECT_EQ(InfoBoxes[0], "error: 'abc' is not a valid integer value");
    EXPECT_EQ(console.Messages(),
              (std::vector<std::string>{"==============START: PMT_END_DOC", "After sleep"}));
}

TEST_F(Intake, NamesTheCodePageCannotHoldNameNoFile)
{
    if (GetACP() != 1252)
        GTEST_SKIP() << "the look-alike needs a code page without full-width characters";
    // Best fit would make the printer's name this job's: read, merged and deleted.
    std::string victim = dir / "victim.ini";
    WriteFileText(victim, "[Orvik Printer]\r\nFirst Page Section=Print Page 1\r\n");
    WriteFileText(dir / "victim.TIF", "another job's pages");
    std::wstring lookAlike(dir.Path().begin(), dir.Path().end());
    lookAlike += L"\uff3cvictim.ini";

    PrintWide(PMT_JOB_FILE, lookAlike);
    Print(PMT_OUTPUT_FILE, dir / "out.tif");
    Print(PMT_END_DOC, "");
    ASSERT_EQ(InfoBoxes.size(), 1u);
    EXPECT_EQ(InfoBoxes[0],
              "Printer file name cannot be used on this system: " + dir.Path() + "?victim.ini");
    EXPECT_TRUE(FileExists(victim));
    EXPECT_EQ(ReadFileText(dir / "victim.TIF"), "another job's pages");

    // The next job with a name that converts runs as usual.
    InfoBoxes.clear();
    Print(PMT_JOB_FILE, dir / "next.ini");
    Print(PMT_END_DOC, "");
    EXPECT_TRUE(InfoBoxes.empty());
}

TEST_F(Intake, WildcardsNameNoFile)
{
    WriteFileText(dir / "JOB1.INI", "[Orvik Printer]\r\nFirst Page Section=Print Page 1\r\n"
                                    "Total Page Number=1\r\nFirst Page=1\r\n"
                                    "[Print Page 1]\r\nImage File Name=" +
                                        dir.Path() + "\\pag?.tif\r\n");
    WriteFileText(dir / "page.tif", "a page of another job");
    WriteFileText(dir / "JOB1.TIF", "another job's pages");

    Print(PMT_JOB_FILE, dir / "JOB?.INI");
    Print(PMT_OUTPUT_FILE, dir / "out.tif");
    Print(PMT_END_DOC, "");
    EXPECT_TRUE(FileExists(dir / "JOB1.INI"));
    EXPECT_EQ(ReadFileText(dir / "JOB1.TIF"), "another job's pages");

    DeleteFileA((dir / "JOB1.TIF").c_str());
    Print(PMT_JOB_FILE, dir / "JOB1.INI");
    Print(PMT_END_DOC, "");
    EXPECT_TRUE(console.Logged("pageName = Print Page 1"));
    EXPECT_FALSE(console.Logged("imageName exists"));
    EXPECT_EQ(ReadFileText(dir / "page.tif"), "a page of another job");
    EXPECT_EQ(InfoBoxes,
              (std::vector<std::string>{"Pages left out of the fax:\r\npage 1 (not found): " +
                                        dir.Path() + "\\pag?.tif"}));
}

TEST_F(Intake, NotificationsHeldBehindAFailedJobFollowItsReport)
{
    // While the first job's box is open, the settings break and two more notifications
    // arrive: an end of document, which fails, and a new job's name.
    surroundings.atBox = [this](const std::string&) {
        if (InfoBoxes.size() > 1)
            return;
        WriteFileText(dir / "QFSCH.INI", "[Quilfa]\r\nUser=abc\r\n");
        job.WMPrnPipeNotify(reinterpret_cast<WPARAM>(MakeNotice(PMT_END_DOC, L"", 526, true)));
        job.WMPrnPipeNotify(
            reinterpret_cast<WPARAM>(MakeNotice(PMT_JOB_FILE, L"C:\\held.ini", 600, true)));
    };
    EndDoc("C:\\x.pcl");
    EXPECT_EQ(InfoBoxes,
              (std::vector<std::string>{
                  "Printer output is not TIF.  Change printer properties to use TIF G3 1D",
                  "error: 'abc' is not a valid integer value"}));
    EXPECT_EQ(job.JobIniName, "C:\\held.ini") << "a name is taken as it arrives";
}

TEST(PumpOneMessage, LeavesAQuitRequestForTheMainLoop)
{
    PostQuitMessage(3);
    PumpOneMessage();
    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(message.wParam, 3u);
}
