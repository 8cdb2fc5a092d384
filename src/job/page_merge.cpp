#include "job/print_job.h"

#include "base/exception.h"
#include "base/file_exists.h"
#include "job/keep_aside.h"
#include "job/merge_marker.h"
#include "job/message_pump.h"
#include "product/job_file.h"
#include "settings/profile.h"

int seams::ExclusiveAccessAttempts = 500001;

namespace {

// The box names at most this many left-out pages; the log names them all.
constexpr std::size_t kLeftOutPagesShown = 10;

std::int32_t ReadJobInteger(const std::string& jobIni, const char* section, const char* key)
{
    return ReadProfileInteger(jobIni, section, key, 0);
}

}  // namespace

void TPrintJob::MergePages()
{
    const std::string jobIni = JobIniName;
    leftOut_.clear();  // of a job a failure ended before its report
    pagesLeftInPlace_ = false;
    MergedFileName = WithExtension(jobIni, ".TIF");
    debug("After change file extionsion: " + MergedFileName);
    // An existing merged file is added to on purpose (a job resent after the program
    // stopped goes on where it ended), but never one a dead job left under a reused name.
    mergeMarker_ = WithExtension(jobIni, ".MRG");
    const std::string jobStamp = JobFileStamp(jobIni);
    resuming_ = ResumesStoppedMerge(jobStamp);
    if (!jobStamp.empty() && !WriteMergeMarker(mergeMarker_, jobStamp))
        debug("merge marker could not be written: " + mergeMarker_);
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
            for (std::int64_t page = first; page <= total; ++page)
                MergePage(jobIni, static_cast<std::int32_t>(page));
        }
    }
    debug("freed ini file..");
    ReportLeftOutPages();
}

// True when the merged file holds pages this same job merged before the program
// stopped; a merged file a dead job left is kept aside.
bool TPrintJob::ResumesStoppedMerge(const std::string& jobStamp)
{
    if (!FileExistsNamed(MergedFileName) || !FileExistsNamed(mergeMarker_))
        return false;
    if (ReadMergeMarker(mergeMarker_) == jobStamp)
        return true;
    std::string kept = KeepAside(MergedFileName);
    // Never added to: a fax must not carry another job's pages.
    if (kept.empty())
        throw Exception("The merged file of an interrupted job cannot be kept aside: " +
                        MergedFileName);
    debug("merged file of an interrupted job kept as " + kept);
    ShowInfoBox("The merged file of an interrupted job was kept as " + kept);
    return false;
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
    if (imageName.empty() || !FileExistsNamed(imageName)) {
        // Pages are merged in order: those before the first one still on disk were
        // handled before the program stopped.
        if (resuming_)
            debug("page handled before the program stopped: " + section);
        else
            LeaveOut(pageNumber, imageName.empty() ? "no image named" : "not found", imageName);
        return;
    }
    resuming_ = false;
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
            try {
                debug("before im.saveAs = " + MergedFileName);
                im_.SaveAs(MergedFileName);
                saved = true;
                debug("after im.saveAs = " + MergedFileName);
            } catch (const std::exception&) {
                debug("EXCEPTION: saving page: im.saveAs = " + MergedFileName);
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

HFILE TPrintJob::WaitExclusiveAccess(const std::string& imageName)
{
    HFILE handle = HFILE_ERROR;
    for (int attempt = 0; attempt < seams::ExclusiveAccessAttempts; ++attempt) {
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
