#include <gtest/gtest.h>

#include <memory>

#include "whole_road.h"

namespace {

// The program stopped at a step of a job, then started again alone: nobody sends the job
// again, and its fax goes out once, whole.
class UnfinishedJob : public WholeRoad {
protected:
    std::unique_ptr<RunningProgram> StartProgram() const
    {
        return std::make_unique<RunningProgram>("\"" + prog + "\\TAVON.exe\"");
    }
    // Started alone, the program finishes what it recorded, and says nothing.
    void FinishAlone()
    {
        RunningProgram tavon("\"" + prog + "\\TAVON.exe\"");
        EXPECT_TRUE(WaitUntil([&] { return RecordedJobs().empty() && SpoolFiles() == 0; }, 60000));
        EXPECT_EQ(FindWindowA("#32770", "Information"), nullptr) << "no box";
        Close(tavon);
    }
};

}  // namespace

TEST_F(UnfinishedJob, StoppedInThePauseOrBetweenPagesItIsMergedWhole)
{
    auto tavon = StartProgram();
    PrintSamples({1, 2, 3});
    ASSERT_TRUE(WaitUntil([] { return !RecordedJobs().empty(); }));
    tavon.reset();
    EXPECT_FALSE(FileExists(spool + "\\JOB1.TIF")) << "stopped in the pause, before the merge";
    FinishAlone();
    std::string log = WaitForFax();
    EXPECT_EQ(Count(log, "queued "), 1u) << log;
    EXPECT_TRUE(HasSamples(QueuedFax(log), {1, 2, 3}));

    DeleteFileA((prog + "\\outbox\\queue.log").c_str());
    tavon = StartProgram();
    PrintSamples({2, 3, 1});
    {
        // The program waits for the page's holder to let go, with page 1 merged.
        HeldOpenFile held(spool + "\\JOB1_P2.TIF");
        ASSERT_TRUE(WaitForFile(spool + "\\JOB1.TIF", 30000));
        tavon.reset();
    }
    FinishAlone();
    log = WaitForFax();
    EXPECT_EQ(Count(log, "queued "), 1u) << log;
    EXPECT_TRUE(HasSamples(QueuedFax(log), {2, 3, 1}));
}

// Stopped while it starts a scheduler that is slow to come up (the start waits for it),
// with the scheduler still at work when it starts again: no second scheduler is started
// for the fax. The vendor's scheduler copies the image and leaves it.
TEST_F(UnfinishedJob, StoppedInTheSchedulersStartItsFaxIsQueuedOnce)
{
    std::string bin = BinDir() + "\\";
    ASSERT_TRUE(
        CopyFileA((bin + "gatedqueue.exe").c_str(), (prog + "\\QUEUEMGR.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA((bin + "..\\vendor\\copying\\QUEUEMGR.EXE").c_str(),
                          (prog + "\\QUEUEMGR-VENDOR.EXE").c_str(), FALSE));
    WriteFileText(prog + "\\GATE", "");

    auto tavon = StartProgram();
    PrintSamples({3, 2});
    ASSERT_TRUE(WaitForFile(prog + "\\HELD", 30000)) << "the scheduler did not start";
    tavon.reset();
    EXPECT_FALSE(RecordedJobs().empty()) << "stopped before the job's end";
    FinishAlone();
    DeleteFileA((prog + "\\GATE").c_str());
    ASSERT_TRUE(WaitUntil([&] { return !ProgramRunning(prog + "\\QUEUEMGR.exe"); }));

    std::string log = ReadFileText(prog + "\\queue\\QUEUE.LOG");
    EXPECT_EQ(Count(log, "started: "), 1u) << log;
    ASSERT_EQ(Count(log, "queued "), 1u) << log;
    std::size_t at = log.find("queued ") + 7;
    EXPECT_TRUE(HasSamples(log.substr(at, log.find(" bytes=", at) - at), {3, 2}));
}

// Stopped after the fax went to the fax-API file and before the entry was emptied (the
// settings file could not be written): started again, it empties the entry and leaves
// the file to the fax-API side.
TEST_F(UnfinishedJob, StoppedBeforeTheFaxApiEntryIsEmptiedItIsEmptiedOnce)
{
    std::string target = dir / "OUT.TIF";
    settings.Write("[Quilfa]\r\nProgDir=" + prog + "\\\r\nPrivateDir=" + privateDir +
                   "\\\r\nUser=0001\r\n[GXAPI]\r\nFileName=" + target + "\r\n");
    auto tavon = StartProgram();
    {
        // Read, but not written, while this is open.
        HANDLE held = CreateFileA(settings.Path().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        PrintSamples({2});
        HWND box = WaitForWindow("#32770", "Information", 30000);
        EXPECT_EQ(MessageBoxText(box).rfind("The fax-API entry could not be cleared", 0), 0u);
        tavon.reset();
        CloseHandle(held);
    }
    EXPECT_TRUE(HasSamples(target, {2}));
    FinishAlone();
    char entry[MAX_PATH] = {};
    GetPrivateProfileStringA("GXAPI", "FileName", "", entry, sizeof entry, settings.Path().c_str());
    EXPECT_STREQ(entry, "");
    EXPECT_TRUE(HasSamples(target, {2})) << "the fax-API side's file stays";
}
