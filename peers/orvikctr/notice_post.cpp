#include "notice_post.h"

#include <cstring>

#include "product/prn_pipe.h"

namespace {

// How long to let the window's thread empty its queue before trying again.
constexpr DWORD kRetryMs = 10;

HGLOBAL MakeBlock(const WireRecord& record)
{
    SIZE_T size = kNoticePathOffset + (SIZE_T{record.units} + 1) * sizeof(wchar_t);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (!block)
        return nullptr;
    auto* data = static_cast<unsigned char*>(GlobalLock(block));
    if (!data) {
        GlobalFree(block);
        return nullptr;
    }
    std::memcpy(data, &record.code, sizeof record.code);
    std::memcpy(data + kNoticePathOffset, record.path, SIZE_T{record.units} * sizeof(wchar_t));
    GlobalUnlock(block);
    return block;
}

}  // namespace

void NoticePost::SetTarget(HWND window, UINT message)
{
    window_ = window;
    message_ = message;
}

bool NoticePost::Post(const WireRecord& record, HANDLE stop) const
{
    HGLOBAL block = nullptr;
    for (;;) {
        if (!block)
            block = MakeBlock(record);
        if (block) {
            HWND window = window_.load();
            // A null window would post to this thread, where no one reads.
            if (window && post_(window, message_.load(), reinterpret_cast<WPARAM>(block), 0))
                return true;
            if (!IsWindow(window)) {
                GlobalFree(block);
                return true;
            }
        }
        // A full queue (or no memory for the block) passes; the record is kept meanwhile.
        if (WaitForSingleObject(stop, kRetryMs) != WAIT_TIMEOUT) {
            if (block)
                GlobalFree(block);
            return false;
        }
    }
}
