#include "job/print_job.h"

#include <cstring>
#include <vector>

#include "base/file_exists.h"
#include "base/message_pump.h"
#include "base/program_start.h"
#include "base/scoped_handle.h"
#include "base/write_all.h"
#include "job/keep_aside.h"
#include "job/merge_marker.h"
#include "product/settings_file.h"
#include "settings/fax_settings.h"

namespace {

constexpr DWORD kCopyChunk = 64 * 1024;
// How often the wait for the scheduler looks whether its image is gone.
constexpr DWORD kImagePollMs = 50;

// Copies every byte, over short reads and writes.
bool CopyContents(HANDLE source, HANDLE destination)
{
    std::vector<char> buffer(kCopyChunk);
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(source, buffer.data(), kCopyChunk, &got, nullptr))
            return false;
        if (got == 0)
            return true;
        if (!WriteAll(destination, buffer.data(), got))
            return false;
    }
}

// A new file in destination's directory for the copy to be written under until it is
// whole: "~TAVON<n>.TMP", never a file that is there already, and a name no longer than
// most destinations', so that any destination that can be written has one.
ScopedFile CreatePartBeside(const std::string& destination, std::string& part)
{
    std::string directory = destination.substr(0, destination.find_last_of("\\/:") + 1);
    for (int serial = 0;; ++serial) {
        part = directory + "~TAVON" + std::to_string(serial) + ".TMP";
        ScopedFile file(CreateFileA(part.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file || GetLastError() != ERROR_FILE_EXISTS)
            return file;
    }
}

// Whether both files exist and hold the same bytes.
bool SameContents(const std::string& first, const std::string& second)
{
    ScopedFile a(CreateFileA(first.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    ScopedFile b(CreateFileA(second.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER sizeA, sizeB;
    if (!a || !b || !GetFileSizeEx(a.Get(), &sizeA) || !GetFileSizeEx(b.Get(), &sizeB) ||
        sizeA.QuadPart != sizeB.QuadPart)
        return false;
    std::vector<char> bufferA(kCopyChunk), bufferB(kCopyChunk);
    for (;;) {
        DWORD gotA = 0, gotB = 0;
        if (!ReadFile(a.Get(), bufferA.data(), kCopyChunk, &gotA, nullptr) ||
            !ReadFile(b.Get(), bufferB.data(), kCopyChunk, &gotB, nullptr) || gotA != gotB ||
            std::memcmp(bufferA.data(), bufferB.data(), gotA) != 0)
            return false;
        if (gotA == 0)
            return true;
    }
}

// The file holds this very job's fax, copied there by a run the program stopped in: the
// merged file's bytes, and the marker beside it is this job's.
bool HoldsThisJobsFax(const JobRun& run, const std::string& file)
{
    std::optional<MergeMarker> marker = ReadMergeMarker(run.marker);
    std::string stamp = JobFileStamp(run.jobIni);
    return marker && !stamp.empty() && marker->stamp == stamp &&
           SameContents(file, run.MergedFileName);
}

std::string CopyFailure(const char* kind, const std::string& source, const std::string& destination)
{
    return (std::string("TAVON(") + kind + "): excep. stream copy: " + source + " to " +
            destination)
        .substr(0, 255);
}

}  // namespace

// The scheduler image of an earlier job. Once the scheduler was started for it in this
// session, it was handed on, whether the scheduler took it away or copied it and left it:
// it goes, once no program holds it open. So does one from an earlier session when the
// scheduler is known to leave its images. One the scheduler was never started for (there
// was none, or its start failed), or one from an earlier session that a scheduler which
// takes its images left (the session may have ended it first), is handed on once more,
// or kept aside and the user told. The image of this very job, copied there before the
// program stopped, is the hand-off's to finish.
void TPrintJob::PrepareHandOff(JobRun& run)
{
    const std::string image = SchedulerImage();
    if (!FileExistsNamed(image)) {
        if (schedulerRecord_.Forget())
            schedulerRecord_.LearnLeavesImages(false);
    } else if (HoldsThisJobsFax(run, image)) {
        run.handedOnBeforeTheStop = true;
    } else {
        SchedulerStart start = schedulerRecord_.StartedFor(image);
        bool handedOn =
            start == SchedulerStart::ThisSession ||
            (start == SchedulerStart::EarlierSession && schedulerRecord_.LeavesImages());
        if (!handedOn && FileExistsNamed(FaxSettings.ProgDir + Scheduler::Program)) {
            debug("scheduler image of an earlier job may not have been read: " + image);
            handedOn = StartScheduler(image);
            if (handedOn)
                WaitUntilImageLetGo(image, waits_.schedulerStartedMs, false);
        }
        if (handedOn)
            DeleteHandedOnImage(image, start == SchedulerStart::ThisSession);
        else
            KeepEarlierImage(image);
    }
    debug("After prep for FAX.$$$");
}

// learn: the start was made in this session, so a scheduler that let the image go and left
// it is one that leaves its images.
void TPrintJob::DeleteHandedOnImage(const std::string& image, bool learn)
{
    bool letGo = WaitUntilImageLetGo(image, waits_.schedulerStillAtWorkMs, true);
    if (!letGo)
        debug("scheduler image still in use: " + image);
    else if (learn)
        schedulerRecord_.LearnLeavesImages(FileExistsNamed(image));
    DeleteNamedFile(image);
    if (!FileExistsNamed(image))
        schedulerRecord_.Forget();
}

void TPrintJob::KeepEarlierImage(const std::string& image)
{
    std::string kept = KeepAside(image);
    debug(kept.empty() ? "scheduler image of an earlier job could not be kept aside: " + image
                       : "scheduler image of an earlier job kept as " + kept);
    surroundings_.ShowInfoBox("The fax of an earlier job was not sent. It " +
                              (kept.empty() ? "stays as " + image : "is kept as " + kept));
}

// The scheduler gives no sign but the image's going or being let go; the program answers
// its messages meanwhile. True when the image is gone, or no program holds it open after
// one was seen to (`seenHeld`: as good as seen already).
bool TPrintJob::WaitUntilImageLetGo(const std::string& image, DWORD timeoutMs, bool seenHeld)
{
    ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        ScopedFile alone(CreateFileA(image.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD error = alone ? ERROR_SUCCESS : GetLastError();
        alone.Reset();
        if (error == ERROR_FILE_NOT_FOUND || (error == ERROR_SUCCESS && seenHeld))
            return true;
        seenHeld = seenHeld || error == ERROR_SHARING_VIOLATION;
        if (GetTickCount64() >= deadline)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, kImagePollMs, QS_ALLINPUT);
        PumpOneMessage();
    }
}

// True once the scheduler runs for the image. The start is recorded before it is made: a
// scheduler that is slow to come up holds the start up for long, and a program stopped
// meanwhile must not start another one for the same image.
bool TPrintJob::StartScheduler(const std::string& image)
{
    bool recorded = schedulerRecord_.RecordStart(image);
    if (StartProgram(SchedulerCmdLine, SW_SHOWNORMAL)) {
        if (!recorded) {
            debug("scheduler start could not be recorded: " + image);
            surroundings_.ShowInfoBox("The scheduler's start could not be recorded: the next "
                                      "job may hand this fax on once more: " +
                                      image);
        }
        return true;
    }
    schedulerRecord_.Forget();
    return false;
}

// This job's image, still there after a stop: a scheduler started for it in an ended
// session, or not at all, may not have read it.
void TPrintJob::StartSchedulerUnlessStartedInThisSession(const std::string& image)
{
    if (schedulerRecord_.StartedFor(image) != SchedulerStart::ThisSession &&
        FileExistsNamed(FaxSettings.ProgDir + Scheduler::Program) && !StartScheduler(image))
        surroundings_.ShowInfoBox("Could not find scheduler.");
}

void TPrintJob::HandOffJob(const JobRun& run)
{
    if (run.handedOnBeforeTheStop) {
        debug("fax handed on before the program stopped: " + run.MergedFileName);
        const std::string image = SchedulerImage();
        // The stopped run may not have told the fax-API side yet that the file is whole,
        // or not have started the scheduler, or its session may have ended the scheduler
        // before it read the image.
        if (!run.handedOnTo.empty() && FaxSettings.GXAPIFileName == run.handedOnTo) {
            ClearFaxApiEntry(run.handedOnTo);
        } else if (HoldsThisJobsFax(run, image)) {
            StartSchedulerUnlessStartedInThisSession(image);
        }
        ClearUpJob(run, {.copied = true, .mergedStays = false});
    } else if (!FaxSettings.GXAPIFileName.empty()) {
        HandOffToFaxApi(run);
    } else {
        HandOffToScheduler(run);
    }
}

// The entry is emptied before the job's files go: once it is, the fax-API side may take
// the file, and the job sent again after a stop in between must not hand it on twice.
void TPrintJob::HandOffToFaxApi(const JobRun& run)
{
    const std::string target = FaxSettings.GXAPIFileName;
    debug("gxapi_filename = " + target);
    DeleteNamedFile(target);
    Delivery delivery = DeliverMergedFile(run, target, true);
    debug("deleted orvik temp files.  Before clearTessavel");
    ClearFaxApiEntry(target);
    debug("After clearTessavel");
    ClearUpJob(run, delivery);
}

void TPrintJob::ClearFaxApiEntry(const std::string& target)
{
    if (surroundings_.ClearGXAPIFileName() || surroundings_.ClearGXAPIFileName())
        return;
    // The program holding the settings file may have let go by the time the box is closed.
    surroundings_.ShowInfoBox(
        "The fax-API entry could not be cleared: the next fax would also go to " + target);
    if (!surroundings_.ClearGXAPIFileName())
        debug("fax-API entry still set: " + target);
}

// The scheduler starts before the job's files go: a job stopped in its clear-up was
// handed on.
void TPrintJob::HandOffToScheduler(const JobRun& run)
{
    debug("gxapi filename is blank. Loading scheduler.");
    const std::string image = SchedulerImage();
    // Never over an image still there: that is another fax.
    Delivery delivery = DeliverMergedFile(run, image, false);
    // The image stays for a scheduler to come; the next job hands it on or keeps it aside.
    if (!FileExistsNamed(FaxSettings.ProgDir + Scheduler::Program)) {
        if (FileExistsNamed(image))
            surroundings_.ShowInfoBox("Could not find scheduler.");
    } else if (!delivery.copied) {
        // Its one box said what happened.
    } else if (!FileExistsNamed(image)) {
        surroundings_.ShowInfoBox("Could not create private image.");
    } else if (!StartScheduler(image)) {
        surroundings_.ShowInfoBox("Could not find scheduler.");
    }
    ClearUpJob(run, delivery);
}

// The marker tells a job sent again after a stop that the fax went.
TPrintJob::Delivery TPrintJob::DeliverMergedFile(const JobRun& run, const std::string& target,
                                                 bool replace)
{
    if (!FileExistsNamed(run.MergedFileName))
        return {.copied = true, .mergedStays = false};
    std::string failure = CopyJobFile(run.MergedFileName, target, replace);
    if (!failure.empty())
        return {.copied = false, .mergedStays = !KeepMergedFile(run, failure)};
    if (run.marked && !RecordHandOn(run.marker, target))
        debug("merge marker could not be written: " + run.marker);
    return {.copied = true, .mergedStays = false};
}

// The page images go once the fax that holds them is on the disk, handed on or kept
// aside, and the job file with them. While the merged file stays under the job's name, so
// do its marker, its job file and its pages: no later job adds to it, and the job sent
// again hands it on. While a page of the job stays under its own name, so does the job
// file: the printer takes no job name that is still in use.
void TPrintJob::ClearUpJob(const JobRun& run, Delivery delivery)
{
    if (!delivery.mergedStays) {
        for (const MergedPage& page : run.merged) {
            if (page.image.empty())
                continue;
            debug("before deletefile " + page.image);
            DeleteNamedFile(page.image);
        }
    }
    if (run.pagesLeftInPlace || delivery.mergedStays)
        debug("job file kept: " + run.jobIni);
    else
        DeleteNamedFile(run.jobIni);
    if (delivery.mergedStays)
        return;
    if (delivery.copied)
        DeleteNamedFile(run.MergedFileName);
    DeleteNamedFile(run.marker);
}

std::string TPrintJob::CopyJobFile(const std::string& source, const std::string& destination,
                                   bool replace)
{
    ScopedFile from(CreateFileA(source.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string part;
    ScopedFile to;
    if (from)
        to = CreatePartBeside(destination, part);
    if (!to)
        return CopyFailure("B", source, destination);
    // On stable storage before the merged file, the document's only other copy, goes.
    bool copied = CopyContents(from.Get(), to.Get()) && FlushFileBuffers(to.Get());
    to.Reset();
    DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    if (copied && MoveFileExA(part.c_str(), destination.c_str(), flags))
        return {};
    DeleteNamedFile(part);
    return CopyFailure(copied ? "B" : "A", source, destination);
}

// A merged file that could not be handed on stays, under a name no later job uses; it
// then holds the job's pages in place of their images. One box tells why and where.
bool TPrintJob::KeepMergedFile(const JobRun& run, const std::string& failure)
{
    std::string kept = KeepAside(run.MergedFileName);
    debug(kept.empty() ? "merged file could not be kept: " + run.MergedFileName
                       : "merged file kept as " + kept);
    surroundings_.ShowInfoBox(
        failure + "\r\nThe fax was not sent. It " +
        (kept.empty() ? "stays as " + run.MergedFileName : "is kept as " + kept));
    return !kept.empty();
}
