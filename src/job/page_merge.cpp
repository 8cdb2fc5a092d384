#include "job/print_job.h"

#include <optional>

#include "base/file_exists.h"
#include "job/keep_aside.h"
#include "job/merge_marker.h"
#include "job/message_pump.h"
#include "product/job_file.h"
#include "settings/profile.h"
#include "tiff/page.h"
#include "tiff/tiff_error.h"

namespace {

// The box names at most this many left-out pages; the log names them all.
constexpr std::size_t kLeftOutPagesShown = 10;

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

bool TPrintJob::MergePages()
{
    const std::string jobIni = JobIniName;
    leftOut_.clear();  // of a job a failure ended before its report
    pagesLeftInPlace_ = false;
    MergedFileName = WithExtension(jobIni, ".TIF");
    debug("After change file extionsion: " + MergedFileName);
    mergeMarker_ = WithExtension(jobIni, ".MRG");
    if (!TakeMergedFile(JobFileStamp(jobIni)))
        return false;
    debug("Opened " + jobIni + " read appendPage");

    std::string firstSection =
        ReadProfileText(jobIni, JobFile::PrinterSection, JobFile::FirstPageSection, "");
    debug("SectionName=" + firstSection);
    if (!firstSection.empty()) {
        std::int32_t total =
            ReadJobInteger(jobIni, JobFile::PrinterSection, JobFile::TotalPageNumber);
        debug("TotPage = " + std::to_string(total));
        if (total > 0) {
            std::int32_t first =
                ReadJobInteger(jobIni, JobFile::PrinterSection, JobFile::FirstPage);
            debug("FirstPage=" + std::to_string(first));
            // Counted in 64 bits: a Total Page Number of INT32_MAX must still end the loop.
            std::int64_t pages = std::int64_t{total} - first + 1;
            if (pages > kMaxJobPages) {
                debug("too many pages: " + std::to_string(pages));
                ShowInfoBox("The job lists " + std::to_string(pages) +
                            " pages; a fax holds at most " + std::to_string(kMaxJobPages) +
                            ". Nothing was merged: " + jobIni);
                return false;
            }
            for (std::int64_t page = first; page <= total; ++page)
                MergePage(jobIni, static_cast<std::int32_t>(page));
        }
    }
    debug("freed ini file..");
    ReportLeftOutPages();
    return true;
}

// Decides what a merged file already under the job's name is. Pages a stopped run of
// this same job put in are kept and known; a file a dead job left is kept aside, and
// while it cannot be, this job is not merged at all: its fax must not carry another
// job's pages. A merged file without a marker is added to.
bool TPrintJob::TakeMergedFile(const std::string& jobStamp)
{
    mergedBeforeTheStop_.clear();
    stoppedAt_ = INT32_MIN;
    bool exists = FileExistsNamed(MergedFileName);
    std::optional<std::size_t> pages = exists ? PageCountOf(MergedFileName) : 0;
    std::optional<MergeMarker> marker = ReadMergeMarker(mergeMarker_);
    if (exists && marker) {
        std::optional<std::set<std::int32_t>> merged;
        if (!jobStamp.empty() && marker->stamp == jobStamp && pages)
            merged = PagesMerged(*marker, *pages);
        if (merged) {
            debug("going on with the merge the program stopped in: " + MergedFileName);
            mergedBeforeTheStop_ = std::move(*merged);
            if (!marker->appends.empty())
                stoppedAt_ = marker->appends.back().page;
            mergedPages_ = *pages;
            return true;
        }
        std::string kept = KeepAside(MergedFileName);
        if (kept.empty()) {
            debug("merged file of an interrupted job could not be kept aside: " + MergedFileName);
            ShowInfoBox("The merged file of an interrupted job is in use: " + MergedFileName +
                        "\r\nThis job was not merged; its pages and job file stay: " + JobIniName);
            return false;
        }
        debug("merged file of an interrupted job kept as " + kept);
        ShowInfoBox("The merged file of an interrupted job was kept as " + kept);
        pages = 0;
    }
    mergedPages_ = pages.value_or(0);
    if (!jobStamp.empty() && !StartMergeMarker(mergeMarker_, jobStamp))
        debug("merge marker could not be written: " + mergeMarker_);
    return true;
}

void TPrintJob::MergePage(const std::string& jobIni, std::int32_t pageNumber)
{
    debug("pageNum = " + std::to_string(pageNumber));
    std::string section = JobFile::PageSectionPrefix + std::to_string(pageNumber);
    debug("pageName = " + section);
    // Used whole, not cut to 255 characters: a name cut short could be another file,
    // which would be merged and deleted.
    std::string imageName = ReadProfileText(jobIni, section.c_str(), JobFile::ImageFileName, "");
    debug("imageName = " + OutputImageName);
    if (AccountedForBeforeTheStop(pageNumber, imageName))
        return;
    if (imageName.empty() || !FileExistsNamed(imageName)) {
        LeaveOut(pageNumber, imageName.empty() ? "no image named" : "not found", imageName);
        return;
    }
    debug("imageName exists");

    HFILE handle = WaitExclusiveAccess(imageName);
    debug("verified exclusive access to " + imageName);
    if (handle == HFILE_ERROR || handle <= 0) {
        LeaveOut(pageNumber, "in use by another program", imageName);
        return;
    }
    _lclose(handle);

    try {
        im_.SetScaleMethod(1);
        bool loaded = false;
        try {
            debug("before assigning im.picture = " + imageName);
            im_.SetPicture(imageName);
            loaded = true;
            debug("after assigning im.picture = " + imageName);
        } catch (const std::exception&) {
            loaded = false;
            debug("EXCEPTION assigning im.picture = " + imageName);
        }
        bool saved = false;
        if (loaded) {
            debug("Loaded image ok");
            im_.Refresh();
            im_.SetAppendImage(true);
            im_.SetCompression(4);
            // A resent job must know whether this page went in before a stop: the marker
            // says so before the merged file can hold it.
            if (!RecordAppend(mergeMarker_, pageNumber, mergedPages_)) {
                debug("merge marker could not be written: " + mergeMarker_);
            } else {
                try {
                    debug("before im.saveAs = " + MergedFileName);
                    im_.SaveAs(MergedFileName);
                    saved = true;
                    debug("after im.saveAs = " + MergedFileName);
                } catch (const std::exception&) {
                    debug("EXCEPTION: saving page: im.saveAs = " + MergedFileName);
                }
                // A failed save may still have linked the page: the file says.
                mergedPages_ =
                    saved ? mergedPages_ + 1 : PageCountOf(MergedFileName).value_or(mergedPages_);
            }
        }
        // A page that could not be loaded or saved keeps its image: it is in no other
        // file, and a fax without it must be resendable.
        if (!saved) {
            debug("page image kept: " + imageName);
            LeaveOut(pageNumber, loaded ? "could not be saved" : "not a readable image", imageName);
            return;
        }
        debug("before deletefile " + imageName);
        DeleteNamedFile(imageName);
    } catch (const std::exception&) {
        debug("EXCEPTION: outer im code");
        LeaveOut(pageNumber, "imaging control failed", imageName);
    }
}

// While a resent job goes on where its stopped run ended: true for a page that run
// merged (an image still there was not deleted yet, and is now) or left out.
bool TPrintJob::AccountedForBeforeTheStop(std::int32_t pageNumber, const std::string& imageName)
{
    if (mergedBeforeTheStop_.contains(pageNumber)) {
        debug("page merged before the program stopped: " + std::to_string(pageNumber));
        if (!imageName.empty() && FileExistsNamed(imageName))
            DeleteNamedFile(imageName);
        return true;
    }
    if (pageNumber >= stoppedAt_)
        return false;
    bool there = !imageName.empty() && FileExistsNamed(imageName);
    LeaveOut(pageNumber, there ? "left out before the program stopped" : "not found", imageName);
    return true;
}

HFILE TPrintJob::WaitExclusiveAccess(const std::string& imageName)
{
    HFILE handle = HFILE_ERROR;
    for (int attempt = 0; attempt < waits_.exclusiveAccessAttempts; ++attempt) {
        handle = _lopen(imageName.c_str(), OF_READ | OF_SHARE_EXCLUSIVE);
        PumpOneMessage();
        if (handle != HFILE_ERROR && handle > 0)
            break;
    }
    return handle;
}

void TPrintJob::LeaveOut(std::int32_t pageNumber, const char* reason, const std::string& imageName)
{
    leftOut_.push_back({pageNumber, reason, imageName});
}

// Each left-out image is kept aside before the driver's next job can take its name. One
// still held by another program may be let go while the user reads the box: it is tried
// once more after it. One still held then stays, and so does its job file (see
// DeliverMergedFile).
void TPrintJob::ReportLeftOutPages()
{
    std::vector<LeftOutPage> pages;
    pages.swap(leftOut_);
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
    if (pages.size() > kLeftOutPagesShown)
        text += "\r\nand " + std::to_string(pages.size() - kLeftOutPagesShown) + " more";
    ShowInfoBox(text);
    for (std::size_t i = 0; i < pages.size(); ++i) {
        if (!kept[i].empty() || !FileExistsNamed(pages[i].image))
            continue;
        std::string again = KeepAside(pages[i].image);
        debug(again.empty() ? "page image could not be kept aside: " + pages[i].image
                            : "page image kept as " + again);
        pagesLeftInPlace_ = pagesLeftInPlace_ || again.empty();
    }
}
