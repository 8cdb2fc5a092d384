#pragma once
// One print job's road through the program: the printer's notifications, the merge of
// the page images at the end of the document, and the hand-off of the merged file.
#include <cstdint>
#include <deque>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include <windows.h>

#include "imaging/image_man.h"
#include "job/job_log.h"
#include "product/prn_pipe.h"

constexpr UINT WM_PRNPIPE_NOTIFY = 3347;

namespace seams {
// The pause before the settings reload at the end of a document, the open attempts
// made for each page image, and the settings entry's clear.
extern DWORD EndDocPauseMs;
extern int ExclusiveAccessAttempts;
extern bool (*ClearGXAPIFileName)();
}  // namespace seams

// Shows an error that left a notification's handling (the standard error box).
using ErrorReporter = void (*)(const std::exception& error);

class TPrintJob {
public:
    TPrintJob(ILogConsole& console, TImageMan& im, ErrorReporter reportError)
            : console_(console), im_(im), reportError_(reportError)
    {
    }
    // Frees the blocks still held.
    ~TPrintJob();
    TPrintJob(const TPrintJob&) = delete;
    TPrintJob& operator=(const TPrintJob&) = delete;

    // Handles one WM_PRNPIPE_NOTIFY: wParam is a global memory block that this call
    // owns and frees. Notifications that arrive while a job runs (the merge and
    // message boxes handle messages) are held and handled in order once it has ended,
    // so a running job keeps its names. An error that ends a notification's handling
    // is reported, and the held ones follow.
    void WMPrnPipeNotify(WPARAM wParam);

    // Kept from job to job: a PMT_END_DOC works on the names stored last.
    std::string JobIniName;
    std::string OutputImageName;
    // Built by the main window at creation: the scheduler's full file name.
    std::string SchedulerCmdLine;
    // Scratch copy of the name of each file deleted during a job.
    std::string FileNameBuffer;

private:
    void HandleNotice(WPARAM wParam);
    void ProcessEndDoc();

    // Page merge: the page images into one multi-page TIFF file.
    void MergePages();
    bool ResumesStoppedMerge(const std::string& jobStamp);
    void MergePage(const std::string& jobIni, std::int32_t pageNumber);
    HFILE WaitExclusiveAccess(const std::string& imageName);
    // A page the fax goes without: reported once the merge has ended.
    void LeaveOut(std::int32_t pageNumber, const char* reason, const std::string& imageName);
    void ReportLeftOutPages();

    // Hand-off of the merged file to the fax-API file or the scheduler.
    void PrepareHandOff();
    void HandOffJob();
    void HandOffToFaxApi();
    void HandOffToScheduler();
    // Copies the merged file to target, then deletes the job file and the merged file.
    void DeliverMergedFile(const std::string& target);
    bool CopyJobFile(const std::string& source, const std::string& destination);
    void KeepMergedFile();
    // Tells the user when the settings entry stays set: the next fax would replace this one.
    void ClearFaxApiEntry(const std::string& target);

    void DeleteNamedFile(const std::string& name);

    void debug(std::string_view message) { ::debug(console_, message); }

    ILogConsole& console_;
    TImageMan& im_;
    ErrorReporter reportError_;
    std::string MergedFileName;
    std::string mergeMarker_;
    bool resuming_ = false;
    // A left-out page image is still under the name its job file gives it.
    bool pagesLeftInPlace_ = false;
    struct LeftOutPage {
        std::int32_t number;
        const char* reason;
        std::string image;
    };
    std::vector<LeftOutPage> leftOut_;
    // False while the stored name is the lossy form of a name the code page lacks.
    bool jobIniExact_ = true;
    bool outputImageExact_ = true;
    bool running_ = false;
    std::deque<WPARAM> held_;
};
