#include "job/print_job.h"

#include <cstdio>
#include <vector>

#include "base/file_exists.h"
#include "base/scoped_handle.h"
#include "base/write_all.h"
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

std::string CopyFailure(const char* kind, const std::string& source,
                        const std::string& destination)
{
    return (std::string("TAVON(") + kind + "): excep. stream copy: " + source + " to " +
            destination).substr(0, 255);
}

}  // namespace

void TPrintJob::PrepareHandOff()
{
    DeleteNamedFile(SchedulerImage());
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
    if (!seams::ClearGXAPIFileName())
        seams::ClearGXAPIFileName();
    debug("After clearTessavel");
}

void TPrintJob::HandOffToScheduler()
{
    debug("gxapi filename is blank. Loading scheduler.");
    const std::string image = SchedulerImage();
    DeliverMergedFile(image);
    if (!FileExistsNamed(FaxSettings.ProgDir + Scheduler::Program))
        return;
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
    DeleteNamedFile(JobIniName);
    if (copied)
        DeleteNamedFile(MergedFileName);
    else
        KeepMergedFile();
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
    if (!copied)
        ShowInfoBox(CopyFailure("A", source, destination));
    return copied;
}

// The merged file is the document's only copy once its page images are gone: when
// it could not be handed on, it stays, under a name no later job uses.
void TPrintJob::KeepMergedFile()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    std::string base = MergedFileName.substr(0, MergedFileName.size() - 4);
    for (int serial = 0;; ++serial) {
        char stamp[48];
        std::snprintf(stamp, sizeof stamp, "-kept-%04u%02u%02u-%02u%02u%02u-%03u-%d.TIF",
                      now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond,
                      now.wMilliseconds, serial);
        std::string kept = base + stamp;
        if (MoveFileA(MergedFileName.c_str(), kept.c_str())) {
            debug("merged file kept as " + kept);
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_FILE_EXISTS) {
            debug("merged file could not be kept: " + MergedFileName);
            return;
        }
    }
}
