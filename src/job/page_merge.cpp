#include "job/print_job.h"

#include "base/file_exists.h"
#include "job/message_pump.h"
#include "product/job_file.h"
#include "settings/profile.h"

int seams::ExclusiveAccessAttempts = 500001;

namespace {

// The job-description file's name with the extension ".TIF". "/" separates
// directories too: a dot before it belongs to a directory, not to the file.
std::string MergedNameFor(const std::string& jobIni)
{
    std::size_t at = jobIni.find_last_of(".\\/:");
    if (at != std::string::npos && jobIni[at] == '.')
        return jobIni.substr(0, at) + ".TIF";
    return jobIni + ".TIF";
}

std::int32_t ReadJobInteger(const std::string& jobIni, const char* section, const char* key)
{
    return ReadProfileInteger(jobIni, section, key, 0);
}

}  // namespace

void TPrintJob::MergePages()
{
    const std::string jobIni = JobIniName;
    MergedFileName = MergedNameFor(jobIni);
    debug("After change file extionsion: " + MergedFileName);
    debug("Opened " + jobIni + " read appendPage");

    std::string firstSection = ReadProfileText(jobIni, JobFile::PrinterSection, JobFile::FirstPageSection, "");
    debug("SectionName=" + firstSection);
    if (!firstSection.empty()) {
        std::int32_t total = ReadJobInteger(jobIni, JobFile::PrinterSection, JobFile::TotalPageNumber);
        debug("TotPage = " + std::to_string(total));
        if (total > 0) {
            std::int32_t first = ReadJobInteger(jobIni, JobFile::PrinterSection, JobFile::FirstPage);
            debug("FirstPage=" + std::to_string(first));
            // Counted in 64 bits: a Total Page Number of INT32_MAX must still end the loop.
            for (std::int64_t page = first; page <= total; ++page)
                MergePage(jobIni, static_cast<std::int32_t>(page));
        }
    }
    debug("freed ini file..");
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
    if (imageName.empty() || !FileExistsNamed(imageName))
        return;
    debug("imageName exists");

    HFILE handle = WaitExclusiveAccess(imageName);
    debug("verified exclusive access to " + imageName);
    if (handle == HFILE_ERROR || handle <= 0)
        return;
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
            return;
        }
        debug("before deletefile " + imageName);
        DeleteNamedFile(imageName);
    } catch (const std::exception&) {
        debug("EXCEPTION: outer im code");
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
