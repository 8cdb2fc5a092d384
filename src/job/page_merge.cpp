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
#include "tiff/page.h"
#include "tiff/tiff_error.h"

namespace {

// The box names at most this many left-out pages with their files, and gives the numbers
// of the rest; the log names them all.
constexpr std::size_t kLeftOutPagesShown = 10;

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

// How many pages a TIFF file holds; nullopt when it cannot be read.
std::optional<std::size_t> PageCountOf(const std::string& file)
{
    try {
        return faxtiff::TiffFile::Open(file).PageCount();
    } catch (const faxtiff::TiffError&) {
        return std::nullopt;
    }
}

}  // namespace

bool TPrintJob::MergePages(JobRun& run)
{
    debug("After change file extionsion: " + run.MergedFileName);
    if (!TakeMergedFile(run, JobFileStamp(run.jobIni)))
        return false;
    debug("Opened " + run.jobIni + " read appendPage");

    std::string firstSection =
        ReadProfileText(run.jobIni, JobFile::PrinterSection, JobFile::FirstPageSection, "");
    debug("SectionName=" + firstSection);
    if (!firstSection.empty()) {
        std::int32_t total =
            ReadJobInteger(run.jobIni, JobFile::PrinterSection, JobFile::TotalPageNumber);
        debug("TotPage = " + std::to_string(total));
        if (total > 0) {
            std::int32_t first =
                ReadJobInteger(run.jobIni, JobFile::PrinterSection, JobFile::FirstPage);
            debug("FirstPage=" + std::to_string(first));
            // Counted in 64 bits: a Total Page Number of INT32_MAX must still end the loop.
            std::int64_t pages = std::int64_t{total} - first + 1;
            if (pages > kMaxJobPages) {
                debug("too many pages: " + std::to_string(pages));
                surroundings_.ShowInfoBox(
                    "The job lists " + std::to_string(pages) + " pages; a fax holds at most " +
                    std::to_string(kMaxJobPages) + ". Nothing was merged: " + run.jobIni);
                return false;
            }
            for (std::int64_t page = first; page <= total; ++page)
                MergePage(run, static_cast<std::int32_t>(page));
        }
    }
    debug("freed ini file..");
    ReportLeftOutPages(run);
    return true;
}

// Decides what a merged file already under the job's name is. Pages a stopped run of
// this same job put in are kept and known; a file a dead job left is kept aside, and
// while it cannot be, this job is not merged at all: its fax must not carry another
// job's pages. A merged file without a marker is added to.
bool TPrintJob::TakeMergedFile(JobRun& run, const std::string& jobStamp)
{
    bool exists = FileExistsNamed(run.MergedFileName);
    std::optional<std::size_t> pages = exists ? PageCountOf(run.MergedFileName) : 0;
    std::optional<MergeMarker> marker = ReadMergeMarker(run.marker);
    if (exists && marker) {
        std::optional<std::set<std::int32_t>> merged;
        if (!jobStamp.empty() && marker->stamp == jobStamp && pages)
            merged = PagesMerged(*marker, *pages);
        if (merged) {
            debug("going on with the merge the program stopped in: " + run.MergedFileName);
            run.mergedBeforeTheStop = std::move(*merged);
            if (!marker->appends.empty())
                run.stoppedAt = marker->appends.back().page;
            run.mergedPages = *pages;
            run.handedOnTo = marker->handedOnTo;
            run.handedOnBeforeTheStop = run.handedOnBeforeTheStop || !run.handedOnTo.empty();
            return true;
        }
        std::string kept = KeepAside(run.MergedFileName);
        if (kept.empty()) {
            debug("merged file of an interrupted job could not be kept aside: " +
                  run.MergedFileName);
            surroundings_.ShowInfoBox(
                "The merged file of an interrupted job is in use: " + run.MergedFileName +
                "\r\nThis job was not merged; its pages and job file stay: " + run.jobIni);
            return false;
        }
        debug("merged file of an interrupted job kept as " + kept);
        surroundings_.ShowInfoBox("The merged file of an interrupted job was kept as " + kept);
        pages = 0;
    }
    // Not a stopped run of this job: an image like the file is another job's fax.
    run.handedOnBeforeTheStop = false;
    run.mergedPages = pages.value_or(0);
    if (!jobStamp.empty() && !StartMergeMarker(run.marker, jobStamp))
        debug("merge marker could not be written: " + run.marker);
    return true;
}

// A page that could not be merged keeps its image: it is in no other file, and a fax
// without it must be resendable.
void TPrintJob::MergePage(JobRun& run, std::int32_t pageNumber)
{
    debug("pageNum = " + std::to_string(pageNumber));
    std::string section = JobFile::PageSectionPrefix + std::to_string(pageNumber);
    debug("pageName = " + section);
    // Used whole, not cut to 255 characters: a name cut short could be another file,
    // which would be merged and deleted.
    std::string imageName =
        ReadProfileText(run.jobIni, section.c_str(), JobFile::ImageFileName, "");
    debug("imageName = " + OutputImageName);
    if (AccountedForBeforeTheStop(run, pageNumber, imageName))
        return;
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
    if (leftOut) {
        run.leftOut.push_back({pageNumber, leftOut, imageName});
        return;
    }
    debug("before deletefile " + imageName);
    DeleteNamedFile(imageName);
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
    // A resent job must know whether this page went in before a stop: the marker says
    // so before the merged file can hold it.
    if (!RecordAppend(run.marker, pageNumber, run.mergedPages)) {
        debug("merge marker could not be written: " + run.marker);
        debug("page image kept: " + imageName);
        return "could not be saved";
    }
    debug("before im.saveAs = " + run.MergedFileName);
    if (!controlDoes([&] { im_.SaveAs(run.MergedFileName); })) {
        debug("EXCEPTION: saving page: im.saveAs = " + run.MergedFileName);
        // A failed save may still have linked the page: the file says.
        run.mergedPages = PageCountOf(run.MergedFileName).value_or(run.mergedPages);
        debug("page image kept: " + imageName);
        return "could not be saved";
    }
    ++run.mergedPages;
    debug("after im.saveAs = " + run.MergedFileName);
    return nullptr;
}

// While a resent job goes on where its stopped run ended: true for a page that run
// merged (an image still there was not deleted yet, and is now) or left out.
bool TPrintJob::AccountedForBeforeTheStop(JobRun& run, std::int32_t pageNumber,
                                          const std::string& imageName)
{
    if (run.mergedBeforeTheStop.contains(pageNumber)) {
        debug("page merged before the program stopped: " + std::to_string(pageNumber));
        if (!imageName.empty() && FileExistsNamed(imageName))
            DeleteNamedFile(imageName);
        return true;
    }
    if (pageNumber >= run.stoppedAt)
        return false;
    bool there = !imageName.empty() && FileExistsNamed(imageName);
    run.leftOut.push_back(
        {pageNumber, there ? "left out before the program stopped" : "not found", imageName});
    return true;
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
