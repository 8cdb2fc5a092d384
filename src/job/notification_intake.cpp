#include "job/print_job.h"

#include <cstring>

#include "base/file_exists.h"
#include "base/text_conversion.h"
#include "job/merge_marker.h"
#include "job/wide_to_ansi.h"
#include "product/settings_file.h"
#include "settings/bounded_text.h"
#include "settings/fax_settings.h"

namespace {

// Frees the block however the handler is left.
class BlockLock {
public:
    explicit BlockLock(HGLOBAL block) : block_(block), data_(GlobalLock(block)) {}
    ~BlockLock()
    {
        if (data_)
            GlobalUnlock(block_);
        GlobalFree(block_);
    }
    BlockLock(const BlockLock&) = delete;
    BlockLock& operator=(const BlockLock&) = delete;

    const unsigned char* Data() const { return static_cast<const unsigned char*>(data_); }
    SIZE_T Size() const { return GlobalSize(block_); }

private:
    HGLOBAL block_;
    void* data_;
};

// The block's file name, read no further than the block reaches: a name without a
// terminator ends at the block's end.
AnsiText ReadFilePath(const BlockLock& block)
{
    SIZE_T size = block.Size();
    if (size <= kNoticePathOffset)
        return {};
    std::size_t capacity = (size - kNoticePathOffset) / sizeof(wchar_t);
    const unsigned char* start = block.Data() + kNoticePathOffset;
    std::wstring path;
    for (std::size_t i = 0; i < capacity; ++i) {
        wchar_t unit;
        std::memcpy(&unit, start + i * sizeof unit, sizeof unit);
        if (unit == 0)
            break;
        path.push_back(unit);
    }
    return WideToAnsi(path.data(), path.size());
}

}  // namespace

TPrintJob::TPrintJob(ILogConsole& console, TImageMan& im, IJobSurroundings& surroundings,
                     const std::wstring& recordFolder, const JobWaits& waits)
        : console_(console), im_(im), surroundings_(surroundings), waits_(waits),
          records_(recordFolder.empty() ? std::wstring() : recordFolder + L"\\Jobs"),
          schedulerRecord_(recordFolder),
          waiting_(records_.Unfinished().begin(), records_.Unfinished().end())
{
}

void TPrintJob::WMPrnPipeNotify(WPARAM wParam)
{
    if (!wParam)
        return;
    TakeNotice(wParam);
    RunWaitingJobs();
}

void TPrintJob::FinishUnfinishedJobs() { RunWaitingJobs(); }

void TPrintJob::RunWaitingJobs()
{
    if (running_)
        return;
    running_ = true;
    while (!waiting_.empty() && !stopping_) {
        RecordedJob job = waiting_.front();
        waiting_.pop_front();
        // A failure ends only its own job: it is reported before the next job runs.
        try {
            ProcessEndDoc(job);
        } catch (const std::exception& error) {
            surroundings_.ReportError(error);
        }
        records_.Forget(job);
    }
    running_ = false;
}

void TPrintJob::TakeNotice(WPARAM wParam)
{
    BlockLock block(reinterpret_cast<HGLOBAL>(wParam));
    if (!block.Data() || block.Size() < sizeof(std::uint32_t))
        return;

    std::uint32_t code;
    std::memcpy(&code, block.Data(), sizeof code);
    // Names are kept whole: a name cut short could name another file, which the
    // hand-off would then delete.
    if (code == PMT_JOB_FILE) {
        AnsiText name = ReadFilePath(block);
        JobIniName = name.text;
        jobIniExact_ = name.exact;
    } else if (code == PMT_OUTPUT_FILE) {
        AnsiText name = ReadFilePath(block);
        OutputImageName = name.text;
        outputImageExact_ = name.exact;
    } else if (code == PMT_END_DOC) {
        RecordedJob job{.jobIni = JobIniName,
                        .outputImage = OutputImageName,
                        .jobIniExact = jobIniExact_,
                        .outputImageExact = outputImageExact_};
        records_.Record(job);
        waiting_.push_back(job);
    }
}

void TPrintJob::ProcessEndDoc(const RecordedJob& job)
{
    if (job.resumed) {
        // The printer has long finished its files.
        debug("==============START: unfinished job " + job.jobIni);
    } else {
        debug("==============START: PMT_END_DOC");
        Sleep(waits_.endDocPauseMs);
        debug("After sleep");
    }
    surroundings_.ReloadSettings();
    debug("After readQFSchIni");
    if (job.number == 0)
        TellNotRecorded();

    // A name this code page cannot hold names no file the printer wrote: nothing is
    // read, merged or deleted by it.
    if (!job.jobIniExact || !job.outputImageExact) {
        std::string name = job.jobIniExact ? job.outputImage : job.jobIni;
        surroundings_.ShowInfoBox("Printer file name cannot be used on this system: " + name);
    } else if (AsciiUpper(job.outputImage).find(".TIF") == std::string::npos) {
        surroundings_.ShowInfoBox(
            "Printer output is not TIF.  Change printer properties to use TIF G3 1D");
    } else if (job.resumed && !FileExistsNamed(job.jobIni)) {
        FinishClearUp(JobRun(job.jobIni, job.outputImage));
    } else {
        JobRun run(job.jobIni, job.outputImage);
        PrepareHandOff(run);
        if (MergePages(run))
            HandOffJob(run);
    }
    debug("==============FINISHED: PMT_END_DOC");
}

void TPrintJob::TellNotRecorded()
{
    const std::wstring& folder = records_.Folder();
    std::string where = folder.empty() ? "the user's local application data" : ToAnsi(folder).text;
    debug("job not recorded in " + where);
    if (toldNotRecorded_)
        return;
    toldNotRecorded_ = true;
    surroundings_.ShowInfoBox("This job could not be recorded in " + where +
                              ": were the program stopped before its end, the job would not be "
                              "finished when the program starts again.");
}

// The job file goes in the clear-up, after the hand-off: a job stopped after it needs
// only the rest of its clear-up.
void TPrintJob::FinishClearUp(const JobRun& run)
{
    std::optional<MergeMarker> marker = ReadMergeMarker(run.marker);
    if (!marker) {
        debug("job cleared up before the stop: " + run.jobIni);
        // Its fax may still wait: an ended session may have ended the scheduler before it
        // read the image.
        const std::string image = SchedulerImage();
        if (FileExistsNamed(image) &&
            schedulerRecord_.StartedFor(image) == SchedulerStart::EarlierSession &&
            !schedulerRecord_.LeavesImages())
            StartSchedulerUnlessStartedInThisSession(image);
        return;
    }
    if (!marker->handedOnTo.empty()) {
        debug("fax handed on before the stop: " + marker->handedOnTo);
        if (marker->handedOnTo == SchedulerImage() && FileExistsNamed(SchedulerImage()))
            StartSchedulerUnlessStartedInThisSession(SchedulerImage());
        DeleteNamedFile(run.MergedFileName);
    } else if (FileExistsNamed(run.MergedFileName)) {
        surroundings_.ShowInfoBox("The job's file is gone, so its fax cannot be finished. Its "
                                  "merged file stays as " +
                                  run.MergedFileName);
        return;
    }
    DeleteNamedFile(run.marker);
}

std::string TPrintJob::SchedulerImage() { return FaxSettings.PrivateDir + Scheduler::ImageName; }

void TPrintJob::DeleteNamedFile(const std::string& name)
{
    // The whole name: a name cut short could mean another file.
    FileNameBuffer = name;
    DeleteFileA(FileNameBuffer.c_str());
}
