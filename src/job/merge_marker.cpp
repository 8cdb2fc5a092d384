#include "job/merge_marker.h"

#include <windows.h>

#include "base/scoped_handle.h"
#include "base/write_all.h"

namespace {

// A stamp is two numbers; anything longer is not a marker of ours.
constexpr DWORD kMaxStamp = 64;

}  // namespace

std::string JobFileStamp(const std::string& jobIni)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(jobIni.c_str(), GetFileExInfoStandard, &data))
        return {};
    ULONGLONG written =
        (ULONGLONG(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
    ULONGLONG size = (ULONGLONG(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return std::to_string(written) + " " + std::to_string(size);
}

std::string ReadMergeMarker(const std::string& marker)
{
    ScopedFile file(CreateFileA(marker.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    char text[kMaxStamp];
    DWORD got = 0;
    if (!file || !ReadFile(file.Get(), text, sizeof text, &got, nullptr))
        return {};
    return std::string(text, got);
}

bool WriteMergeMarker(const std::string& marker, const std::string& stamp)
{
    ScopedFile file(CreateFileA(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && WriteAll(file.Get(), stamp.data(), static_cast<DWORD>(stamp.size())) &&
           FlushFileBuffers(file.Get());
}
