#pragma once
// One print job's road through the program: the printer's notifications, the merge of
// the page images at the end of the document, and the hand-off of the merged file.
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <windows.h>

#include "imaging/image_man.h"
#include "job/job_log.h"
#include "job/job_records.h"
#include "job/job_run.h"
#include "job/job_surroundings.h"
#include "job/scheduler_record.h"
#include "product/prn_pipe.h"

constexpr UINT WM_PRNPIPE_NOTIFY = 3347;

// A fax holds at most this many pages: a TIFF page number is a 16-bit count.
constexpr std::int64_t kMaxJobPages = 65535;

class TPrintJob {
public:
    // The program's records live in recordFolder (PerUserRecordFolder; empty: none are
    // kept). The jobs an earlier run left unfinished wait for FinishUnfinishedJobs.
    TPrintJob(ILogConsole& console, TImageMan& im, IJobSurroundings& surroundings,
              const std::wstring& recordFolder, const JobWaits& waits = {});
    TPrintJob(const TPrintJob&) = delete;
    TPrintJob& operator=(const TPrintJob&) = delete;

    // Handles one WM_PRNPIPE_NOTIFY: wParam is a global memory block that this call
    // owns and frees. A file name is taken at once; an end of document is recorded at
    // once and its job runs after those that ended before it. Jobs that end while one
    // runs (the merge and message boxes handle messages) wait their turn, so a running
    // job keeps its names. An error that ends a job is reported, and the next follows.
    void WMPrnPipeNotify(WPARAM wParam);
    // Runs the jobs an earlier run left unfinished, as if the printer had ended each
    // again, before any job that ended since.
    void FinishUnfinishedJobs();
    // True while a job runs: its boxes and waits handle the thread's messages meanwhile.
    bool Running() const { return running_; }
    // No further job starts once the running one has ended; they stay recorded for the
    // next start.
    void StopAfterThisJob() { stopping_ = true; }

    // Kept from job to job: a PMT_END_DOC works on the names stored last.
    std::string JobIniName;
    std::string OutputImageName;
    // Built by the main window at creation: the scheduler's full file name.
    std::string SchedulerCmdLine;
    // Scratch copy of the name of each file deleted during a job.
    std::string FileNameBuffer;

private:
    void TakeNotice(WPARAM wParam);
    void RunWaitingJobs();
    void ProcessEndDoc(const RecordedJob& job);
    void TellNotRecorded();
    void FinishClearUp(const JobRun& run);

    // Page merge: the page images into one multi-page TIFF file. False when the job
    // could not be merged and is left as it is, so nothing is handed off.
    bool MergePages(JobRun& run);
    struct PageRange {
        std::int64_t first;
        std::int64_t last;
    };
    std::optional<PageRange> ReadPageRange(const JobRun& run);
    bool MergeEveryPage(JobRun& run, PageRange range);
    bool MergeAgain(JobRun& run);
    void GiveUpMerge(JobRun& run);
    bool TakeMergedFile(JobRun& run, const std::string& jobStamp);
    bool SetMergedFileAside(JobRun& run, bool deletable, std::string& kept);
    bool StartMerge(JobRun& run, const std::string& jobStamp);
    void MergePage(JobRun& run, std::int32_t pageNumber);
    bool WaitExclusiveAccess(const std::string& imageName);
    // Loads the page image into the control and appends it to the merged file; the
    // reason the page is left out, or nullptr when it is in.
    const char* AppendPageImage(JobRun& run, std::int32_t pageNumber, const std::string& imageName);
    const char* CheckSavedPage(JobRun& run, std::int32_t pageNumber, const std::string& imageName,
                               bool saved);
    void ReportLeftOutPages(JobRun& run);

    // Hand-off of the merged file to the fax-API file or the scheduler.
    void PrepareHandOff(JobRun& run);
    void DeleteHandedOnImage(const std::string& image, bool learn);
    void KeepEarlierImage(const std::string& image);
    bool WaitUntilImageLetGo(const std::string& image, DWORD timeoutMs, bool seenHeld);
    bool StartScheduler(const std::string& image);
    void StartSchedulerUnlessStartedInThisSession(const std::string& image);
    void HandOffJob(const JobRun& run);
    void HandOffToFaxApi(const JobRun& run);
    void HandOffToScheduler(const JobRun& run);
    // DeliverMergedFile copies the merged file to target, or keeps it aside when it
    // cannot; ClearUpJob then deletes what of the job's files the result lets go.
    struct Delivery {
        bool copied;
        // The merged file stays under the job's name.
        bool mergedStays;
    };
    Delivery DeliverMergedFile(const JobRun& run, const std::string& target, bool replace);
    void ClearUpJob(const JobRun& run, Delivery delivery);
    // Writes a copy beside destination, flushes it and puts it in destination's place
    // (replacing a file there only when asked), so no part of a file ever stands there.
    // The failure's message, or empty.
    std::string CopyJobFile(const std::string& source, const std::string& destination,
                            bool replace);
    // False when the merged file stays under the job's name.
    bool KeepMergedFile(const JobRun& run, const std::string& failure);
    // Tells the user when the settings entry stays set: the next fax would replace this one.
    void ClearFaxApiEntry(const std::string& target);

    void DeleteNamedFile(const std::string& name);
    // The scheduler image: the private directory's "FAX.$$$".
    static std::string SchedulerImage();

    void debug(std::string_view message) { ::debug(console_, message); }

    ILogConsole& console_;
    TImageMan& im_;
    IJobSurroundings& surroundings_;
    const JobWaits waits_;
    // False while the stored name is the lossy form of a name the code page lacks.
    bool jobIniExact_ = true;
    bool outputImageExact_ = true;
    JobRecords records_;
    SchedulerRecord schedulerRecord_;
    std::deque<RecordedJob> waiting_;
    bool running_ = false;
    bool stopping_ = false;
    // The user was told that jobs go unrecorded: once a run.
    bool toldNotRecorded_ = false;
};
