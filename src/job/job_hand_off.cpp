#include "job/print_job.h"

#include <vector>

#include "base/file_exists.h"
#include "base/scoped_handle.h"
#include "base/write_all.h"
#include "job/keep_aside.h"
#include "job/message_pump.h"
#include "product/settings_file.h"
#include "settings/fax_settings.h"

bool (*seams::ClearGXAPIFileName)() = ::ClearGXAPIFileName;

namespace {

constexpr DWORD kCopyChunk = 64 * 1024;

std::string SchedulerImage() { return FaxSettings.PrivateDir + Scheduler::ImageName; }

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

std::string CopyFailure(const char* kind, const std::string& source, const std::string& destination)
{
    return (std::string("TAVON(") + kind + "): excep. stream copy: " + source + " to " +
            destination)
        .substr(0, 255);
}

}  // namespace

// The scheduler takes its image away when it runs: one still there is a fax no
// scheduler took, and the document's only copy.
void TPrintJob::PrepareHandOff()
{
    const std::string image = SchedulerImage();
    if (FileExistsNamed(image)) {
        std::string kept = KeepAside(image);
        debug(kept.empty() ? "scheduler image of an earlier job could not be kept aside: " + image
                           : "scheduler image of an earlier job kept as " + kept);
    }
    debug("After prep for FAX.$$$");
}

void TPrintJob::HandOffJob()
{
    if (!FaxSettings.GXAPIFileName.empty())
        HandOffToFaxApi();
    else
        HandOffToScheduler();
}

void TPrintJob::HandOffToFaxApi()
{
    const std::string target = FaxSettings.GXAPIFileName;
    debug("gxapi_filename = " + target);
    DeleteNamedFile(target);
    DeliverMergedFile(target);
    debug("deleted orvik temp files.  Before clearTessavel");
    ClearFaxApiEntry(target);
    debug("After clearTessavel");
}

void TPrintJob::ClearFaxApiEntry(const std::string& target)
{
    if (seams::ClearGXAPIFileName() || seams::ClearGXAPIFileName())
        return;
    // The program holding the settings file may have let go by the time the box is closed.
    ShowInfoBox("The fax-API entry could not be cleared: the next fax would also go to " + target);
    if (!seams::ClearGXAPIFileName())
        debug("fax-API entry still set: " + target);
}

void TPrintJob::HandOffToScheduler()
{
    debug("gxapi filename is blank. Loading scheduler.");
    const std::string image = SchedulerImage();
    DeliverMergedFile(image);
    // The image stays for a scheduler to come; the next job keeps it aside.
    if (!FileExistsNamed(FaxSettings.ProgDir + Scheduler::Program)) {
        if (FileExistsNamed(image))
            ShowInfoBox("Could not find scheduler.");
        return;
    }
    if (!FileExistsNamed(image)) {
        ShowInfoBox("Could not create private image.");
        return;
    }
    if (WinExec(SchedulerCmdLine.c_str(), SW_SHOWNORMAL) < 32)
        ShowInfoBox("Could not find scheduler.");
}

void TPrintJob::DeliverMergedFile(const std::string& target)
{
    bool copied = !FileExistsNamed(MergedFileName) || CopyJobFile(MergedFileName, target);
    // While a page of the job stays under its own name, so does the job file: the printer
    // takes no job name that is still in use, and the job can be sent again.
    if (pagesLeftInPlace_)
        debug("job file kept for the pages still in place: " + JobIniName);
    else
        DeleteNamedFile(JobIniName);
    if (copied)
        DeleteNamedFile(MergedFileName);
    else
        KeepMergedFile();
    DeleteNamedFile(mergeMarker_);
}

bool TPrintJob::CopyJobFile(const std::string& source, const std::string& destination)
{
    ScopedFile from(CreateFileA(source.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    ScopedFile to;
    if (from)
        to.Reset(CreateFileA(destination.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!to) {
        from.Reset();
        ShowInfoBox(CopyFailure("B", source, destination));
        return false;
    }
    // On stable storage before the merged file, the document's only other copy, goes.
    bool copied = CopyContents(from.Get(), to.Get()) && FlushFileBuffers(to.Get());
    to.Reset();  // the destination is closed before the message, the source after it
    if (!copied) {
        // A part of a fax must not be taken for the fax.
        DeleteNamedFile(destination);
        ShowInfoBox(CopyFailure("A", source, destination));
    }
    return copied;
}

// The merged file is the document's only copy once its page images are gone: when
// it could not be handed on, it stays, under a name no later job uses.
void TPrintJob::KeepMergedFile()
{
    std::string kept = KeepAside(MergedFileName);
    debug(kept.empty() ? "merged file could not be kept: " + MergedFileName
                       : "merged file kept as " + kept);
}
