#include "job/print_job.h"

#include <algorithm>
#include <optional>

#include "base/exception.h"
#include "base/file_exists.h"
#include "job/keep_aside.h"
#include "job/merge_marker.h"
#include "base/message_pump.h"
#include "product/job_file.h"
#include "settings/profile.h"

namespace {

// The box names at most this many left-out pages with their files, and gives the numbers
// of the rest; the log names them all.
constexpr std::size_t kLeftOutPagesShown = 10;

// A control that damaged the merged file gets one more go, in a fresh file.
constexpr int kMergeAttempts = 2;

// "3-5, 9": the page numbers in runs.
std::string PageRuns(std::vector<std::int32_t> numbers)
{
    std::sort(numbers.begin(), numbers.end());
    std::string text;
    for (std::size_t first = 0; first < numbers.size();) {
        std::size_t last = first;
        while (last + 1 < numbers.size() &&
               std::int64_t{numbers[last + 1]} == std::int64_t{numbers[last]} + 1)
            ++last;
        text += (text.empty() ? "" : ", ") + std::to_string(numbers[first]);
        if (last > first)
            text += "-" + std::to_string(numbers[last]);
        first = last + 1;
    }
    return text;
}

std::int32_t ReadJobInteger(const std::string& jobIni, const char* section, const char* key)
{
    return ReadProfileInteger(jobIni, section, key, 0);
}

// How a box ends that leaves a job as the printer left it, to be sent again.
std::string PagesStay(const JobRun& run) { return "its pages and job file stay: " + run.jobIni; }

// Used whole, not cut to 255 characters: a name cut short could be another file, which
// would be merged and deleted.
std::string ReadImageName(const JobRun& run, std::int32_t pageNumber)
{
    std::string section = JobFile::PageSectionPrefix + std::to_string(pageNumber);
    return ReadProfileText(run.jobIni, section.c_str(), JobFile::ImageFileName, "");
}

}  // namespace

bool TPrintJob::MergePages(JobRun& run)
{
    debug("After change file extionsion: " + run.MergedFileName);
    if (!TakeMergedFile(run, JobFileStamp(run.jobIni)))
        return false;
    if (run.handedOnBeforeTheStop)
        return true;
    debug("Opened " + run.jobIni + " read appendPage");
    std::optional<PageRange> range = ReadPageRange(run);
    if (!range)
        return false;
    for (int attempt = 1; !MergeEveryPage(run, *range); ++attempt) {
        if (attempt == kMergeAttempts) {
            GiveUpMerge(run);
            return false;
        }
        if (!MergeAgain(run))
            return false;
    }
    debug("freed ini file..");
    ReportLeftOutPages(run);
    std::vector<std::int32_t> faxPages;
    for (const MergedPage& page : run.merged)
        if (!page.image.empty())
            faxPages.push_back(page.number);
    if (run.marked && !RecordFaxPages(run.marker, faxPages))
        debug("merge marker could not be written: " + run.marker);
    return true;
}

// The pages the job file lists, as its lines say; nullopt for a job refused whole.
std::optional<TPrintJob::PageRange> TPrintJob::ReadPageRange(const JobRun& run)
{
    const PageRange none{1, 0};
    std::string firstSection =
        ReadProfileText(run.jobIni, JobFile::PrinterSection, JobFile::FirstPageSection, "");
    debug("SectionName=" + firstSection);
    if (firstSection.empty())
        return none;
    std::int32_t total =
        ReadJobInteger(run.jobIni, JobFile::PrinterSection, JobFile::TotalPageNumber);
    debug("TotPage = " + std::to_string(total));
    if (total <= 0)
        return none;
    std::int32_t first = ReadJobInteger(run.jobIni, JobFile::PrinterSection, JobFile::FirstPage);
    debug("FirstPage=" + std::to_string(first));
    // Counted in 64 bits: a Total Page Number of INT32_MAX must still end the loop.
    std::int64_t pages = std::int64_t{total} - first + 1;
    if (pages > kMaxJobPages) {
        debug("too many pages: " + std::to_string(pages));
        surroundings_.ShowInfoBox("The job lists " + std::to_string(pages) +
                                  " pages; a fax holds at most " + std::to_string(kMaxJobPages) +
                                  ". Nothing was merged: " + run.jobIni);
        return std::nullopt;
    }
    return PageRange{first, total};
}

// False when the imaging control damaged the merged file: it lost or changed pages it
// held, during a save or behind the program's back before the end.
bool TPrintJob::MergeEveryPage(JobRun& run, PageRange range)
{
    for (std::int64_t page = range.first; page <= range.last && !run.damaged; ++page)
        MergePage(run, static_cast<std::int32_t>(page));
    if (!run.damaged && ReadPageFingerprints(run.MergedFileName) != run.Fingerprints()) {
        debug("the merged file changed after its last save: " + run.MergedFileName);
        run.damaged = true;
    }
    if (run.damaged)
        return false;
    // The control need not have put what it wrote on the disk; the hand-off relies on it.
    if (!run.merged.empty() && !FlushNamedFile(run.MergedFileName))
        debug("merged file could not be flushed: " + run.MergedFileName);
    return true;
}

// Every page image is still there: the job is merged again into a fresh file. False when
// the damaged file cannot be let go; the job then stays as the printer left it.
bool TPrintJob::MergeAgain(JobRun& run)
{
    std::string kept;
    if (!SetMergedFileAside(run, run.pagesBeforeTheJob == 0, kept))
        return false;
    surroundings_.ShowInfoBox(
        "The imaging control damaged the merged file: the fax is merged again from its page "
        "images." +
        (kept.empty() ? std::string() : " The damaged file is kept as " + kept));
    run.merged.clear();
    run.leftOut.clear();
    run.damaged = false;
    return StartMerge(run, JobFileStamp(run.jobIni));
}

// A control that damages every file it is given sends no fax: the job stays as the
// printer left it, to be sent again.
void TPrintJob::GiveUpMerge(JobRun& run)
{
    std::string kept;
    if (!SetMergedFileAside(run, run.pagesBeforeTheJob == 0, kept))
        return;
    DeleteNamedFile(run.marker);
    surroundings_.ShowInfoBox(
        "The imaging control damaged the merged file again. The fax was not sent; " +
        PagesStay(run));
}

// Decides what a merged file already under the job's name is. A stopped run of this same
// job that handed the fax on leaves nothing to merge. Any other file with a marker, and
// one that is no fax, go: the stopped run's own pages all have their images still, and a
// file a dead job left, or one holding pages from before the job, is kept aside. A
// readable merged file without a marker is added to.
bool TPrintJob::TakeMergedFile(JobRun& run, const std::string& jobStamp)
{
    std::optional<MergeMarker> marker = ReadMergeMarker(run.marker);
    bool ours = marker && !jobStamp.empty() && marker->stamp == jobStamp;
    if (ours && (run.handedOnBeforeTheStop || !marker->handedOnTo.empty())) {
        run.handedOnBeforeTheStop = true;
        run.handedOnTo = marker->handedOnTo;
        for (std::int32_t page : marker->faxPages.value_or(std::vector<std::int32_t>{}))
            run.merged.push_back({page, ReadImageName(run, page), 0});
        return true;
    }
    // Not a stopped run of this job: an image like the file is another job's fax.
    run.handedOnBeforeTheStop = false;
    std::string kept;
    if (FileExistsNamed(run.MergedFileName) &&
        (marker || !ReadPageFingerprints(run.MergedFileName))) {
        if (ours)
            debug("merging again what the program stopped in: " + run.MergedFileName);
        if (!SetMergedFileAside(run, ours && marker->pagesBeforeTheJob == 0, kept))
            return false;
    }
    if (!kept.empty())
        surroundings_.ShowInfoBox("The merged file of an interrupted job was kept as " + kept);
    return StartMerge(run, jobStamp);
}

// Deletes the merged file when `deletable`, else keeps it aside (kept names it). False,
// with a box, when it stays under its name: no page of this job may go into it.
bool TPrintJob::SetMergedFileAside(JobRun& run, bool deletable, std::string& kept)
{
    if (deletable) {
        DeleteNamedFile(run.MergedFileName);
        if (!FileExistsNamed(run.MergedFileName))
            return true;
    }
    kept = KeepAside(run.MergedFileName);
    if (!kept.empty()) {
        debug("merged file of an interrupted job kept as " + kept);
        return true;
    }
    debug("merged file of an interrupted job could not be kept aside: " + run.MergedFileName);
    surroundings_.ShowInfoBox(
        "The merged file of an interrupted job is in use: " + run.MergedFileName +
        "\r\nThis job was not merged; " + PagesStay(run));
    return false;
}

// The merged file's pages before the job, and the marker that tells a resent job which
// run its merged file is. False, with a box, when the marker cannot be written: a stop
// would leave a file that a resent job could not tell from one to add to.
bool TPrintJob::StartMerge(JobRun& run, const std::string& jobStamp)
{
    for (PageFingerprint print :
         ReadPageFingerprints(run.MergedFileName).value_or(std::vector<PageFingerprint>{}))
        run.merged.push_back({0, "", print});
    run.pagesBeforeTheJob = run.merged.size();
    run.marked = !jobStamp.empty();
    if (!run.marked || StartMergeMarker(run.marker, jobStamp, run.pagesBeforeTheJob))
        return true;
    debug("merge marker could not be written: " + run.marker);
    surroundings_.ShowInfoBox("The merge marker could not be written: " + run.marker +
                              "\r\nThis job was not merged; " + PagesStay(run));
    return false;
}

void TPrintJob::MergePage(JobRun& run, std::int32_t pageNumber)
{
    debug("pageNum = " + std::to_string(pageNumber));
    debug(std::string("pageName = ") + JobFile::PageSectionPrefix + std::to_string(pageNumber));
    std::string imageName = ReadImageName(run, pageNumber);
    debug("imageName = " + run.outputImage);
    const char* leftOut = nullptr;
    if (imageName.empty() || !FileExistsNamed(imageName)) {
        leftOut = imageName.empty() ? "no image named" : "not found";
    } else {
        debug("imageName exists");
        bool exclusive = WaitExclusiveAccess(imageName);
        debug("verified exclusive access to " + imageName);
        leftOut =
            exclusive ? AppendPageImage(run, pageNumber, imageName) : "in use by another program";
    }
    if (leftOut)
        run.leftOut.push_back({pageNumber, leftOut, imageName});
}

const char* TPrintJob::AppendPageImage(JobRun& run, std::int32_t pageNumber,
                                       const std::string& imageName)
{
    // The control's own failures are the page's; anything else, running out of memory
    // among them, ends the notification's handling as any error does.
    auto controlDoes = [](auto step) {
        try {
            step();
            return true;
        } catch (const Exception&) {
            return false;
        }
    };
    const char* controlFailed = "imaging control failed";
    if (!controlDoes([&] { im_.SetScaleMethod(1); })) {
        debug("EXCEPTION: outer im code");
        return controlFailed;
    }
    debug("before assigning im.picture = " + imageName);
    if (!controlDoes([&] { im_.SetPicture(imageName); })) {
        debug("EXCEPTION assigning im.picture = " + imageName);
        debug("page image kept: " + imageName);
        return "not a readable image";
    }
    debug("after assigning im.picture = " + imageName);
    debug("Loaded image ok");
    if (!controlDoes([&] {
            im_.Refresh();
            im_.SetAppendImage(true);
            im_.SetCompression(4);
        })) {
        debug("EXCEPTION: outer im code");
        return controlFailed;
    }
    debug("before im.saveAs = " + run.MergedFileName);
    bool saved = controlDoes([&] { im_.SaveAs(run.MergedFileName); });
    debug(saved ? "after im.saveAs = " + run.MergedFileName
                : "EXCEPTION: saving page: im.saveAs = " + run.MergedFileName);
    return CheckSavedPage(run, pageNumber, imageName, saved);
}

// What the save did, as the merged file shows it: the control's word counts for nothing.
const char* TPrintJob::CheckSavedPage(JobRun& run, std::int32_t pageNumber,
                                      const std::string& imageName, bool saved)
{
    SaveCheck check = CheckSave(run.MergedFileName, run.Fingerprints());
    switch (check.outcome) {
    case SaveCheck::Added:
        if (!saved)
            debug("the page is in the merged file all the same: " + imageName);
        run.merged.push_back({pageNumber, imageName, check.added});
        return nullptr;
    case SaveCheck::NotAdded:
        debug("page image kept: " + imageName);
        return saved ? "not saved by the imaging control" : "could not be saved";
    case SaveCheck::Damaged:
        break;
    }
    debug("the imaging control damaged the merged file: " + run.MergedFileName);
    run.damaged = true;
    return "merged file damaged";
}

// True once the image could be opened exclusively: no other program, the printer among
// them, has it open any more.
bool TPrintJob::WaitExclusiveAccess(const std::string& imageName)
{
    for (int attempt = 0; attempt < waits_.exclusiveAccessAttempts; ++attempt) {
        HFILE handle = _lopen(imageName.c_str(), OF_READ | OF_SHARE_EXCLUSIVE);
        PumpOneMessage();
        if (handle != HFILE_ERROR && handle > 0) {
            _lclose(handle);
            return true;
        }
    }
    return false;
}
// Each left-out image is kept aside before the driver's next job can take its name. One
// still held by another program may be let go while the user reads the box: it is tried
// once more after it. One still held then stays, and so does its job file (see
// ClearUpJob).
void TPrintJob::ReportLeftOutPages(JobRun& run)
{
    const std::vector<LeftOutPage>& pages = run.leftOut;
    if (pages.empty())
        return;
    std::vector<std::string> kept(pages.size());
    std::string text = "Pages left out of the fax:";
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const LeftOutPage& page = pages[i];
        if (FileExistsNamed(page.image))
            kept[i] = KeepAside(page.image);
        std::string line = "page " + std::to_string(page.number) + " (" + page.reason +
                           "): " + (kept[i].empty() ? page.image : kept[i]);
        debug(line);
        if (i < kLeftOutPagesShown)
            text += "\r\n" + line;
    }
    if (pages.size() > kLeftOutPagesShown) {
        std::vector<std::int32_t> rest;
        for (std::size_t i = kLeftOutPagesShown; i < pages.size(); ++i)
            rest.push_back(pages[i].number);
        text += "\r\nand " + std::to_string(rest.size()) + " more: pages " + PageRuns(rest);
    }
    surroundings_.ShowInfoBox(text);
    for (std::size_t i = 0; i < pages.size(); ++i) {
        if (!kept[i].empty() || !FileExistsNamed(pages[i].image))
            continue;
        std::string again = KeepAside(pages[i].image);
        debug(again.empty() ? "page image could not be kept aside: " + pages[i].image
                            : "page image kept as " + again);
        run.pagesLeftInPlace = run.pagesLeftInPlace || again.empty();
    }
}
