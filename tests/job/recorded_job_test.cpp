#include "job_fixture.h"

#include "job/job_records.h"
#include "job/merge_marker.h"
#include "job/scheduler_record.h"

namespace {

using Lines = std::vector<std::string>;

// Jobs an earlier run of the program recorded and did not finish: the program now
// starting finishes them before any new one.
class RecordedJobs : public JobFixture {
protected:
    std::string JobFile(int number) const
    {
        return Spool() + "\\JOB" + std::to_string(number) + ".INI";
    }
    // A job without pages, recorded as ended by an earlier run.
    void RecordEarlierJob(int number)
    {
        WriteFileText(JobFile(number), "[Orvik Printer]\r\nTotal Page Number=0\r\n");
        RecordEarlier(JobFile(number));
    }
    void RecordEarlier(const std::string& jobIni)
    {
        JobRecords records(RecordFolder() + L"\\Jobs");
        RecordedJob job{.jobIni = jobIni, .outputImage = Spool() + "\\JOB_P1.TIF"};
        ASSERT_TRUE(records.Record(job));
    }
    // The program starting: a new job object reads the records.
    void Restart() { DriveControl(std::make_unique<TImageMan>(nullptr, RECT{}, L"")); }
    Lines Starts() const
    {
        Lines starts;
        for (const std::string& line : console.Messages())
            if (line.starts_with("==============START"))
                starts.push_back(line);
        return starts;
    }
    // The scheduler stand-in in the program directory; it logs each fax it queues.
    void InstallScheduler() const
    {
        ASSERT_TRUE(CopyFileA((BinDir() + "\\QUEUEMGR.exe").c_str(),
                              (Prog() + "QUEUEMGR.EXE").c_str(), FALSE));
    }
    std::string QueueLog() const { return Prog() + "outbox\\queue.log"; }
    // The scheduler queued a fax and has ended.
    bool SchedulerQueued() const
    {
        return WaitUntil([&] {
            return ReadFileText(QueueLog()).find("queued ") != std::string::npos &&
                   !ProgramRunning(Prog() + "QUEUEMGR.EXE");
        });
    }
    // The log-on session ends (a log-off, a power cut): its volatile mark goes.
    static void EndSession()
    {
        ASSERT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Kelvarin\\Session"), ERROR_SUCCESS);
    }
    // The program starts again after a scheduler start for the image, made in this session
    // or in one that has ended since: only then does the scheduler get the image again.
    void RestartAfterSchedulerStart(bool sessionEnded)
    {
        ASSERT_TRUE(SchedulerRecord(RecordFolder()).RecordStart(SchedulerImage()));
        if (sessionEnded)
            EndSession();
        RecordEarlier(JobIni());
        Restart();
        job->FinishUnfinishedJobs();
        if (sessionEnded) {
            EXPECT_TRUE(SchedulerQueued()) << "handed to the scheduler again";
        } else {
            EXPECT_FALSE(FileExists(QueueLog())) << "no second start";
            EXPECT_TRUE(FileExists(SchedulerImage())) << "left for the next job to delete";
        }
        EXPECT_TRUE(infoBoxes.empty());
    }
    std::string RecordFiles() const
    {
        std::string names;
        WIN32_FIND_DATAA entry;
        HANDLE find = FindFirstFileA((dir.Path() + "\\records\\Jobs\\*").c_str(), &entry);
        if (find == INVALID_HANDLE_VALUE)
            return names;
        do
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                names += std::string(entry.cFileName) + " ";
        while (FindNextFileA(find, &entry));
        FindClose(find);
        return names;
    }
};

}  // namespace

TEST_F(RecordedJobs, UnfinishedJobsRunFirstInTheOrderTheyEnded)
{
    RecordEarlierJob(2);
    RecordEarlierJob(1);
    // What a power cut leaves of records being written: no job was accepted by them.
    WriteFileText(dir.Path() + "\\records\\Jobs\\0000000009.JOB.part", "job ");
    WriteFileText(dir.Path() + "\\records\\Jobs\\0000000010.JOB", "job C:\\cut");
    Restart();
    EXPECT_EQ(RecordFiles(), "0000000001.JOB 0000000002.JOB ");

    WriteFileText(JobFile(3), "[Orvik Printer]\r\nTotal Page Number=0\r\n");
    job->JobIniName = JobFile(3);
    EndDoc();
    EXPECT_EQ(Starts(), (Lines{"==============START: unfinished job " + JobFile(2),
                               "==============START: unfinished job " + JobFile(1),
                               "==============START: PMT_END_DOC"}));
    for (int number : {1, 2, 3}) {
        EXPECT_FALSE(FileExists(JobFile(number))) << number;
    }
    EXPECT_EQ(RecordFiles(), "");
    EXPECT_TRUE(infoBoxes.empty());
}

// The job file goes in the clear-up, after the hand-off: a job whose file is gone needs
// no more than the rest of its clear-up. The fax-API entry names a later fax by then.
TEST_F(RecordedJobs, AJobStoppedInItsClearUpIsOnlyClearedUp)
{
    std::string later = dir / "later.tif";
    WriteFileText(later, "a later fax");
    WriteSettings("[GXAPI]\r\nFileName=" + later + "\r\n");
    std::string marker = Spool() + "\\JOB1.MRG";
    for (bool handedOn : {true, false}) {
        SCOPED_TRACE(handedOn ? "handed on" : "not handed on");
        infoBoxes.clear();
        ASSERT_TRUE(CopyFileA(SamplePage(1).c_str(), Merged().c_str(), FALSE));
        ASSERT_TRUE(StartMergeMarker(marker, "1 1", 0));
        if (handedOn) {
            ASSERT_TRUE(RecordHandOn(marker, dir / "sent.tif"));
        }
        RecordEarlier(JobIni());
        Restart();
        job->FinishUnfinishedJobs();
        EXPECT_EQ(ReadFileText(later), "a later fax");
        EXPECT_EQ(FaxSettings.GXAPIFileName, later);
        EXPECT_NE(FileExists(Merged()), handedOn);
        EXPECT_NE(FileExists(marker), handedOn);
        EXPECT_EQ(infoBoxes, handedOn ? Lines{}
                                      : Lines{"The job's file is gone, so its fax cannot be "
                                              "finished. Its merged file stays as " +
                                              Merged()});
    }
}

TEST_F(RecordedJobs, JobsThatCannotBeRecordedAreToldOfOnce)
{
    RemoveDirectoryA((dir.Path() + "\\records\\Jobs").c_str());
    RemoveDirectoryA((dir.Path() + "\\records").c_str());
    WriteFileText(dir.Path() + "\\records", "a file where the folder should be");
    Restart();
    for (int run = 0; run < 2; ++run) {
        WriteJob("1", "0", {});
        EndDoc();
    }
    EXPECT_EQ(infoBoxes, Lines{"This job could not be recorded in " + dir.Path() +
                               "\\records\\Jobs: were the program stopped before its end, the "
                               "job would not be finished when the program starts again."});
}

// The scheduler was started for the job's image just before the program stopped. In the
// same session it had its chance and has it still; once the session ended (a power cut,
// a log-off) it may have ended before it read the image, which then goes to it again.
TEST_F(RecordedJobs, AnImageTheSchedulerWasStartedForGoesAgainOnlyAfterTheSessionEnded)
{
    SettingsFile realSettings;
    realSettings.Write("[Quilfa]\r\nPrivateDir=" + Private() + "\r\n");
    InstallScheduler();
    std::string marker = Spool() + "\\JOB1.MRG";
    for (bool sessionEnded : {false, true}) {
        SCOPED_TRACE(sessionEnded ? "after the session ended" : "in the same session");
        WriteJob("1", "1", {{1, SpoolPage(1, "a.tif")}});
        ASSERT_TRUE(CopyFileA(SamplePage(1).c_str(), Merged().c_str(), FALSE));
        ASSERT_TRUE(StartMergeMarker(marker, JobFileStamp(JobIni()), 0));
        ASSERT_TRUE(RecordFaxPages(marker, {1}));
        ASSERT_TRUE(CopyFileA(Merged().c_str(), SchedulerImage().c_str(), FALSE));
        ASSERT_TRUE(RecordHandOn(marker, SchedulerImage()));
        RestartAfterSchedulerStart(sessionEnded);
        if (!sessionEnded) {
            EXPECT_TRUE(HasPages(SchedulerImage(), {1})) << "left whole";
        }
        for (const std::string& gone : {JobIni(), Merged(), marker})
            EXPECT_FALSE(FileExists(gone)) << gone;
        DeleteFileA(SchedulerImage().c_str());
    }
}

// Stopped at the very end of its clear-up, only its record left, after a scheduler start in
// a session that then ended: the image may be unread, and goes to the scheduler once more.
TEST_F(RecordedJobs, AClearedUpJobsImageFromAnEndedSessionGoesAgain)
{
    SettingsFile realSettings;
    realSettings.Write("[Quilfa]\r\nPrivateDir=" + Private() + "\r\n");
    InstallScheduler();
    for (bool sessionEnded : {false, true}) {
        SCOPED_TRACE(sessionEnded ? "after the session ended" : "in the same session");
        ASSERT_TRUE(CopyFileA(SamplePage(1).c_str(), SchedulerImage().c_str(), FALSE));
        RestartAfterSchedulerStart(sessionEnded);
        EXPECT_EQ(RecordFiles(), "");
        DeleteFileA(SchedulerImage().c_str());
    }
}

// An earlier job's image from an ended session: a scheduler that takes its images away
// left it unread, and it goes to the scheduler once more; one the scheduler left as it
// leaves every image goes. The program learns which kind it has from the jobs before.
TEST_F(RecordedJobs, AnEarlierImageFromAnEndedSessionGoesAgainUnlessTheSchedulerLeavesItsImages)
{
    SettingsFile realSettings;
    realSettings.Write("[Quilfa]\r\nPrivateDir=" + Private() + "\r\n");
    InstallScheduler();
    SchedulerRecord record(RecordFolder());
    auto earlierImage = [&](bool sessionEnded) {
        ASSERT_TRUE(CopyFileA(SamplePage(2).c_str(), SchedulerImage().c_str(), FALSE));
        ASSERT_TRUE(record.RecordStart(SchedulerImage()));
        if (sessionEnded)
            EndSession();
    };
    auto nextJob = [&] {
        WriteJob("1", "0", {});
        EndDoc();
    };
    // Left, and let go, in the same session: the scheduler leaves its images.
    earlierImage(false);
    nextJob();
    EXPECT_FALSE(FileExists(SchedulerImage()));
    EXPECT_TRUE(record.LeavesImages());
    earlierImage(true);
    nextJob();
    EXPECT_FALSE(FileExists(SchedulerImage()));
    EXPECT_FALSE(FileExists(QueueLog())) << "not started again";

    // Gone by the next job: the scheduler takes its images.
    earlierImage(false);
    DeleteFileA(SchedulerImage().c_str());
    nextJob();
    EXPECT_FALSE(record.LeavesImages());
    earlierImage(true);
    nextJob();
    EXPECT_TRUE(SchedulerQueued()) << "handed to the scheduler once more";
    EXPECT_EQ(infoBoxes, Lines(4, "Could not create private image."));
}
