#include "job/print_job.h"

#include <cstring>

#include "base/message_pump.h"
#include "job/wide_to_ansi.h"
#include "settings/bounded_text.h"
#include "settings/fax_settings.h"

namespace {

// Frees the block however the handler is left.
class BlockLock {
public:
    explicit BlockLock(HGLOBAL block) : block_(block), data_(GlobalLock(block)) {}
    ~BlockLock()
    {
        if (data_)
            GlobalUnlock(block_);
        GlobalFree(block_);
    }
    BlockLock(const BlockLock&) = delete;
    BlockLock& operator=(const BlockLock&) = delete;

    const unsigned char* Data() const { return static_cast<const unsigned char*>(data_); }
    SIZE_T Size() const { return GlobalSize(block_); }

private:
    HGLOBAL block_;
    void* data_;
};

// The block's file name, read no further than the block reaches: a name without a
// terminator ends at the block's end.
AnsiText ReadFilePath(const BlockLock& block)
{
    SIZE_T size = block.Size();
    if (size <= kNoticePathOffset)
        return {};
    std::size_t capacity = (size - kNoticePathOffset) / sizeof(wchar_t);
    const unsigned char* start = block.Data() + kNoticePathOffset;
    std::wstring path;
    for (std::size_t i = 0; i < capacity; ++i) {
        wchar_t unit;
        std::memcpy(&unit, start + i * sizeof unit, sizeof unit);
        if (unit == 0)
            break;
        path.push_back(unit);
    }
    return WideToAnsi(path.data(), path.size());
}

}  // namespace

TPrintJob::~TPrintJob()
{
    for (WPARAM block : held_)
        GlobalFree(reinterpret_cast<HGLOBAL>(block));
}

void TPrintJob::WMPrnPipeNotify(WPARAM wParam)
{
    if (!wParam)
        return;
    held_.push_back(wParam);
    if (running_)
        return;
    running_ = true;
    while (!held_.empty()) {
        WPARAM next = held_.front();
        held_.pop_front();
        // A failure ends only its own notification: it is reported before the
        // notifications that arrived meanwhile are handled.
        try {
            HandleNotice(next);
        } catch (const std::exception& error) {
            surroundings_.ReportError(error);
        }
    }
    running_ = false;
}

void TPrintJob::HandleNotice(WPARAM wParam)
{
    BlockLock block(reinterpret_cast<HGLOBAL>(wParam));
    if (!block.Data() || block.Size() < sizeof(std::uint32_t))
        return;

    std::uint32_t code;
    std::memcpy(&code, block.Data(), sizeof code);
    // Names are kept whole: a name cut short could name another file, which the
    // hand-off would then delete.
    if (code == PMT_JOB_FILE) {
        AnsiText name = ReadFilePath(block);
        JobIniName = name.text;
        jobIniExact_ = name.exact;
    } else if (code == PMT_OUTPUT_FILE) {
        AnsiText name = ReadFilePath(block);
        OutputImageName = name.text;
        outputImageExact_ = name.exact;
    } else if (code == PMT_END_DOC) {
        ProcessEndDoc();
    }
}

void TPrintJob::ProcessEndDoc()
{
    debug("==============START: PMT_END_DOC");
    Sleep(waits_.endDocPauseMs);
    debug("After sleep");
    surroundings_.ReloadSettings();
    debug("After readQFSchIni");

    // A name this code page cannot hold names no file the printer wrote: nothing is
    // read, merged or deleted by it.
    if (!jobIniExact_ || !outputImageExact_) {
        std::string name = jobIniExact_ ? OutputImageName : JobIniName;
        surroundings_.ShowInfoBox("Printer file name cannot be used on this system: " + name);
    } else if (AsciiUpper(OutputImageName).find(".TIF") == std::string::npos) {
        surroundings_.ShowInfoBox(
            "Printer output is not TIF.  Change printer properties to use TIF G3 1D");
    } else {
        JobRun run(JobIniName);
        PrepareHandOff();
        if (MergePages(run))
            HandOffJob(run);
    }
    debug("==============FINISHED: PMT_END_DOC");
}

void TPrintJob::DeleteNamedFile(const std::string& name)
{
    // The whole name: a name cut short could mean another file.
    FileNameBuffer = name;
    DeleteFileA(FileNameBuffer.c_str());
}
