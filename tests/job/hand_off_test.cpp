#include "job_fixture.h"

#include <cstdlib>

#include "base/scoped_handle.h"
#include "job/merge_marker.h"
#include "settings/fax_settings.h"
#include "tiff/page.h"
#include "tiff/page_append.h"

namespace {

using Lines = std::vector<std::string>;

class HandOff : public JobFixture {
protected:
    // A merged file left from before, and a job that adds no page to it.
    void MergedFileWithoutNewPages()
    {
        ASSERT_TRUE(CopyFileA(SamplePage(2).c_str(), Merged().c_str(), FALSE));
        WriteJob("1", "0", {});
    }
    void InstallScheduler()
    {
        ASSERT_TRUE(CopyFileA((BinDir() + "\\QUEUEMGR.exe").c_str(),
                              (Prog() + "QUEUEMGR.EXE").c_str(), FALSE));
    }
    std::string QueueLog() const { return Prog() + "outbox\\queue.log"; }
};

}  // namespace

TEST_F(HandOff, FaxApiFileIsReplacedByteForByteAndTheEntryEmptied)
{
    std::string target = dir / "gxapi.tif";
    WriteFileText(target, "old hand-off");
    WriteSettings("[GXAPI]\r\nFileName=" + target + "\r\n");
    MergedFileWithoutNewPages();
    // Once the entry is empty the fax-API side may take the file: the job sent again after
    // a stop then must know that it was handed on.
    surroundings.clear = [&] {
        std::optional<MergeMarker> marker = ReadMergeMarker(Spool() + "\\JOB1.MRG");
        EXPECT_TRUE(FileExists(JobIni()) && marker && marker->handedOnTo == target);
        return ClearGXAPIFileName(kTestSettings);
    };
    EndDoc();
    EXPECT_EQ(ReadFileText(target), ReadFileText(SamplePage(2)));
    EXPECT_FALSE(FileExists(JobIni()));
    EXPECT_FALSE(FileExists(Merged()));
    EXPECT_NE(ReadFileText(dir / "QFSCH.INI").find("FileName=\r\n"), std::string::npos);
    EXPECT_TRUE(console.Logged("gxapi_filename = " + target));
    EXPECT_TRUE(console.Logged("deleted orvik temp files.  Before clearTessavel"));
    EXPECT_TRUE(console.Logged("After clearTessavel"));
    EXPECT_TRUE(infoBoxes.empty());
}

TEST_F(HandOff, AClearThatFailsTwiceIsReportedAndTriedAgainAfterTheBox)
{
    std::string target = dir / "gxapi.tif";
    WriteSettings("[GXAPI]\r\nFileName=" + target + "\r\n");
    MergedFileWithoutNewPages();
    int failuresLeft = 2;
    surroundings.clear = [&failuresLeft] {
        return --failuresLeft < 0 && ClearGXAPIFileName(kTestSettings);
    };
    EndDoc();
    EXPECT_EQ(
        infoBoxes,
        Lines{"The fax-API entry could not be cleared: the next fax would also go to " + target});
    EXPECT_NE(ReadFileText(dir / "QFSCH.INI").find("FileName=\r\n"), std::string::npos);
}

TEST_F(HandOff, AFailedClearIsTriedOnceMore)
{
    std::string target = dir / "gxapi.tif";
    WriteSettings("[GXAPI]\r\nFileName=" + target + "\r\n");
    MergedFileWithoutNewPages();
    // The settings file held by another program during the first clear only.
    int clears = 0;
    surroundings.clear = [&] {
        if (++clears > 1)
            return ClearGXAPIFileName(kTestSettings);
        HANDLE held = CreateFileA((dir / "QFSCH.INI").c_str(), GENERIC_READ, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        bool cleared = ClearGXAPIFileName(kTestSettings);
        CloseHandle(held);
        return cleared;
    };
    EndDoc();
    EXPECT_EQ(clears, 2);
    EXPECT_NE(ReadFileText(dir / "QFSCH.INI").find("FileName=\r\n"), std::string::npos);
    EXPECT_TRUE(console.Logged("After clearTessavel"));
    EXPECT_TRUE(infoBoxes.empty());
}

TEST_F(HandOff, FaxApiWithoutMergedFileDeletesTheOldOneAndClears)
{
    std::string target = dir / "gxapi.tif";
    WriteFileText(target, "old hand-off");
    WriteSettings("[GXAPI]\r\nFileName=" + target + "\r\n");
    WriteJob("1", "0", {});
    EndDoc();
    EXPECT_FALSE(FileExists(target));
    EXPECT_NE(ReadFileText(dir / "QFSCH.INI").find("FileName=\r\n"), std::string::npos);
}

TEST_F(HandOff, SchedulerIsStartedOnceWithItsFullName)
{
    // The scheduler, a program of its own, reads the prefix's real settings file.
    SettingsFile realSettings;
    realSettings.Write("[Quilfa]\r\nPrivateDir=" + Private() + "\r\n");
    InstallScheduler();
    WriteJob("1", "2", {{1, SpoolPage(1, "a.tif")}, {2, SpoolPage(3, "c.tif")}});
    EndDoc();
    EXPECT_TRUE(infoBoxes.empty());
    // Every start happened before the job ended; each has logged once none runs.
    ASSERT_TRUE(WaitUntil([this] {
        return ReadFileText(QueueLog()).find("queued ") != std::string::npos &&
               !ProgramRunning(Prog() + "QUEUEMGR.EXE");
    }));
    std::string log = ReadFileText(QueueLog());
    EXPECT_NE(log.find("started: " + Prog() + "QUEUEMGR.EXE\r\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("started: "), log.rfind("started: ")) << "started exactly once";
    EXPECT_NE(log.find("pages=2"), std::string::npos) << log;
    EXPECT_FALSE(FileExists(SchedulerImage()));
}

TEST_F(HandOff, NoMergedPageMeansNoPrivateImage)
{
    InstallScheduler();
    WriteJob("1", "0", {});
    EndDoc();
    EXPECT_EQ(infoBoxes, Lines{"Could not create private image."});
    // A started scheduler would still be running, or have logged before it ended.
    EXPECT_FALSE(ProgramRunning(Prog() + "QUEUEMGR.EXE"));
    EXPECT_FALSE(FileExists(QueueLog()));
}

TEST_F(HandOff, ACopyThatFailsMidwayIsReportedAndKeepsTheMergedFile)
{
    const char* smallDisk = std::getenv("KELVARIN_SMALL_DISK");
    if (!smallDisk)
        GTEST_SKIP() << "needs the 16 KB disk that ctest mounts";
    std::string privateDir = std::string(smallDisk) + "\\";
    WriteFileText(dir / "QFSCH.INI",
                  "[Quilfa]\r\nProgDir=" + Prog() + "\r\nPrivateDir=" + privateDir + "\r\n");
    // Far more than the disk holds: a page of 64 KB, uncoded.
    faxtiff::WritePage(Merged(), faxtiff::Page::FromBitmap(faxtiff::PageBitmap(1728, 300)),
                       faxtiff::SaveCompression::None);
    std::string merged = ReadFileText(Merged());
    WriteJob("1", "0", {});
    InstallScheduler();
    EndDoc();
    std::string image = privateDir + "FAX.$$$";
    std::string kept = KeptName(Merged());
    EXPECT_EQ(infoBoxes, (Lines{"TAVON(A): excep. stream copy: " + Merged() + " to " + image +
                                "\r\nThe fax was not sent. It is kept as " + kept}))
        << "one box, and no word of a private image";
    EXPECT_FALSE(FileExists(JobIni()));
    EXPECT_EQ(ReadFileText(kept), merged);
    EXPECT_FALSE(FileExists(image)) << "a part of the fax is not left to be taken for it";
    EXPECT_FALSE(FileExists(privateDir + "~TAVON0.TMP"));
}

TEST_F(HandOff, WithoutSchedulerTheImageWaitsAndIsNeverDeleted)
{
    MergedFileWithoutNewPages();
    EndDoc();
    EXPECT_EQ(infoBoxes, Lines{"Could not find scheduler."});
    EXPECT_EQ(ReadFileText(SchedulerImage()), ReadFileText(SamplePage(2)));

    // No scheduler took it: the next job keeps it aside instead of deleting it, and says so.
    infoBoxes.clear();
    WriteJob("1", "0", {});
    EndDoc();
    EXPECT_FALSE(FileExists(SchedulerImage()));
    std::string kept = KeptName(SchedulerImage());
    EXPECT_EQ(ReadFileText(kept), ReadFileText(SamplePage(2)));
    EXPECT_EQ(infoBoxes, Lines{"The fax of an earlier job was not sent. It is kept as " + kept});
}

TEST_F(HandOff, AnImageNoSchedulerTookIsHandedToTheSchedulerAgain)
{
    SettingsFile realSettings;
    realSettings.Write("[Quilfa]\r\nPrivateDir=" + Private() + "\r\n");
    InstallScheduler();
    ASSERT_TRUE(CopyFileA(SamplePage(2).c_str(), SchedulerImage().c_str(), FALSE));
    WriteJob("1", "1", {{1, SpoolPage(1, "a.tif")}});
    EndDoc();
    EXPECT_TRUE(infoBoxes.empty());
    ASSERT_TRUE(WaitUntil([this] {
        std::string log = ReadFileText(QueueLog());
        return log.find("queued ") != log.rfind("queued ");
    })) << ReadFileText(QueueLog());
    std::string log = ReadFileText(QueueLog());
    EXPECT_LT(log.find("pages=1"), log.rfind("pages=1")) << "each fax whole, the earlier first";
    EXPECT_TRUE(KeptName(SchedulerImage()).empty());
}

TEST_F(HandOff, AFaxHandedOnJustBeforeTheProgramStoppedIsSentOnce)
{
    // The program stopped after the scheduler image was whole and before the job's files
    // went; then the job is sent again, or a new job has taken its name.
    SettingsFile realSettings;
    realSettings.Write("[Quilfa]\r\nPrivateDir=" + Private() + "\r\n");
    InstallScheduler();
    std::string marker = Spool() + "\\JOB1.MRG";
    for (bool resent : {true, false}) {
        SCOPED_TRACE(resent ? "resent" : "a new job");
        DeleteFileA(QueueLog().c_str());
        std::string page = SpoolPage(1, "a.tif");
        WriteJob("1", "1", {{1, page}});
        // Another fax each time: the scheduler's record names the one it was started for.
        ASSERT_TRUE(CopyFileA(SamplePage(resent ? 1 : 3).c_str(), Merged().c_str(), FALSE));
        ASSERT_TRUE(StartMergeMarker(marker, JobFileStamp(JobIni()), 0));
        ASSERT_TRUE(RecordFaxPages(marker, {1}));
        ASSERT_TRUE(CopyFileA(Merged().c_str(), SchedulerImage().c_str(), FALSE));
        if (!resent)
            WriteJob("1", "1", {{1, SpoolPage(2, "b.tif")}});
        EndDoc();
        ASSERT_TRUE(WaitUntil([this] {
            return ReadFileText(QueueLog()).find("queued ") != std::string::npos &&
                   !ProgramRunning(Prog() + "QUEUEMGR.EXE");
        }));
        std::string log = ReadFileText(QueueLog());
        EXPECT_EQ(log.find("queued ") == log.rfind("queued "), resent)
            << "one fax for a resent job, the earlier fax and the new one otherwise:\n"
            << log;
        for (const std::string& gone : {JobIni(), Merged(), marker, SchedulerImage()})
            EXPECT_FALSE(FileExists(gone)) << gone;
        EXPECT_NE(FileExists(page), resent) << "the image goes with the fax that holds it";
        DeleteFileA(page.c_str());
    }
}

TEST_F(HandOff, AFaxApiFileHandedOnJustBeforeTheProgramStoppedIsHandedOnOnce)
{
    // The program stopped once the fax was whole in the fax-API file, before or after it
    // emptied the entry; the fax-API side has taken the file, and the job is sent again.
    std::string target = dir / "gxapi.tif";
    std::string marker = Spool() + "\\JOB1.MRG";
    for (bool emptied : {false, true}) {
        SCOPED_TRACE(emptied ? "entry emptied" : "entry still set");
        WriteSettings(emptied ? "" : "[GXAPI]\r\nFileName=" + target + "\r\n");
        WriteJob("1", "1", {{1, Spool() + "\\a.tif"}});
        ASSERT_TRUE(CopyFileA(SamplePage(1).c_str(), Merged().c_str(), FALSE));
        ASSERT_TRUE(StartMergeMarker(marker, JobFileStamp(JobIni()), 0));
        ASSERT_TRUE(RecordFaxPages(marker, {1}));
        ASSERT_TRUE(RecordHandOn(marker, target));
        EndDoc();
        EXPECT_FALSE(FileExists(target)) << "handed on again";
        EXPECT_FALSE(FileExists(SchedulerImage())) << "handed to the scheduler as well";
        EXPECT_EQ(ReadFileText(dir / "QFSCH.INI").find(target), std::string::npos);
        for (const std::string& gone : {JobIni(), Merged(), marker})
            EXPECT_FALSE(FileExists(gone)) << gone;
        EXPECT_TRUE(infoBoxes.empty());
    }
}

TEST_F(HandOff, AMergedFileThatStaysUnderItsNameKeepsTheNextJobOut)
{
    MergedFileWithoutNewPages();
    {
        // Read, but neither copied nor renamed while this is open.
        ScopedFile held(CreateFileA(Merged().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(held);
        EndDoc();
    }
    EXPECT_EQ(infoBoxes,
              (Lines{"TAVON(B): excep. stream copy: " + Merged() + " to " + SchedulerImage() +
                     "\r\nThe fax was not sent. It stays as " + Merged()}));
    EXPECT_TRUE(FileExists(JobIni())) << "the printer must not take this job's name";
    EXPECT_TRUE(FileExists(Spool() + "\\JOB1.MRG"));

    // Taken all the same: the new job's fax carries its own pages only.
    infoBoxes.clear();
    WriteJob("1", "1", {{1, SpoolPage(1, "a.tif")}});
    EndDoc();
    EXPECT_TRUE(HasPages(SchedulerImage(), {1}));
    EXPECT_TRUE(HasPages(KeptName(Merged()), {2}));
}

TEST_F(HandOff, ALongFaxApiEntryIsUsedWhole)
{
    // An entry whose first 255 characters name another file, which must stay as it is.
    ASSERT_LT(dir.Path().size(), 200u);
    std::string other = dir.Path() + "\\" + std::string(254 - dir.Path().size(), 'o');
    ASSERT_EQ(other.size(), 255u);
    WriteFileText(other, "another program's file");
    std::string target = other + ".tif";
    WriteSettings("[GXAPI]\r\nFileName=" + target + "\r\n");
    MergedFileWithoutNewPages();
    EndDoc();
    EXPECT_EQ(ReadFileText(other), "another program's file");
    EXPECT_TRUE(ReadFileText(target) == ReadFileText(SamplePage(2))) << "the fax went elsewhere";
}

TEST_F(HandOff, SchedulerThatCannotStartIsReported)
{
    WriteFileText(Prog() + "QUEUEMGR.EXE", "not a program");
    MergedFileWithoutNewPages();
    EndDoc();
    EXPECT_EQ(infoBoxes, Lines{"Could not find scheduler."});
}

TEST_F(HandOff, FailedCopyKeepsTheMergedFile)
{
    std::string target = dir / "gxapi.tif";
    WriteSettings("[GXAPI]\r\nFileName=" + target + "\r\n");
    MergedFileWithoutNewPages();
    {
        HeldOpenFile held(target);
        EndDoc();
    }
    // The document's only copy is kept beside, under a name of its own.
    std::string kept = KeptName(Merged());
    EXPECT_EQ(infoBoxes, (Lines{"TAVON(B): excep. stream copy: " + Merged() + " to " + target +
                                "\r\nThe fax was not sent. It is kept as " + kept}));
    EXPECT_FALSE(FileExists(JobIni()));
    EXPECT_FALSE(FileExists(Merged()));
    EXPECT_EQ(kept.rfind(Spool() + "\\JOB1-kept-", 0), 0u) << kept;
    EXPECT_EQ(ReadFileText(kept), ReadFileText(SamplePage(2)));
}
