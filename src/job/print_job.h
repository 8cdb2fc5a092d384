#pragma once
// One print job's road through the program: the printer's notifications, the merge of
// the page images at the end of the document, and the hand-off of the merged file.
#include <cstdint>
#include <string>
#include <string_view>

#include <windows.h>

#include "job/job_log.h"

constexpr UINT WM_PRNPIPE_NOTIFY = 3347;

// Notification codes of the printer-pipe library's blocks.
constexpr std::uint32_t PMT_JOB_FILE = 0;
constexpr std::uint32_t PMT_OUTPUT_FILE = 1;
constexpr std::uint32_t PMT_END_DOC = 2;

// Byte offset of the zero-terminated UTF-16 file name in a notification block.
constexpr std::size_t kFilePathOffset = 524;

class TPrintJob {
public:
    explicit TPrintJob(ILogConsole& console) : console_(console) {}

    // Handles one WM_PRNPIPE_NOTIFY: wParam is a global memory block that this call
    // owns and frees, also when the end-of-document sequence raises an error.
    void WMPrnPipeNotify(WPARAM wParam);

    // Kept from job to job: a PMT_END_DOC works on the names stored last.
    std::string JobIniName;
    std::string OutputImageName;
    // Built by the main window at creation: the scheduler's full file name.
    std::string SchedulerCmdLine;
    // Scratch copy of the name of each file deleted during a job.
    std::string FileNameBuffer;

    // Seam for tests: the pause before the settings reload at the end of a document.
    static DWORD EndDocPauseMs;

private:
    void ProcessEndDoc();
    void PrepareHandOff();
    void MergePages();
    void HandOffJob();

    void debug(std::string_view message) { ::debug(console_, message); }

    ILogConsole& console_;
};
