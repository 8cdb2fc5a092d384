#include "job/merge_marker.h"

#include <charconv>

#include <windows.h>

#include "base/scoped_handle.h"
#include "base/write_all.h"

namespace {

// A marker holds a line per page of a job, and a job has at most 65535 pages.
constexpr DWORD kMaxMarker = 2 * 1024 * 1024;

bool WriteMarker(const std::string& marker, DWORD disposition, const std::string& text)
{
    ScopedFile file(CreateFileA(marker.c_str(),
                                disposition == OPEN_ALWAYS ? FILE_APPEND_DATA : GENERIC_WRITE, 0,
                                nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && WriteAll(file.Get(), text.data(), static_cast<DWORD>(text.size())) &&
           FlushFileBuffers(file.Get());
}

constexpr std::string_view kHandedOnTo = "handed on to ";

template <typename Number>
bool ParseNumber(std::string_view text, Number& number)
{
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    return error == std::errc() && end == text.data() + text.size();
}

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

std::optional<MergeMarker> ReadMergeMarker(const std::string& marker)
{
    ScopedFile file(CreateFileA(marker.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return std::nullopt;
    std::string text(kMaxMarker, '\0');
    DWORD got = 0;
    if (!ReadFile(file.Get(), text.data(), kMaxMarker, &got, nullptr) || got == kMaxMarker)
        return std::nullopt;
    text.resize(got);

    MergeMarker read;
    std::size_t lineEnd = text.find('\n');
    read.stamp = text.substr(0, lineEnd);
    // A line cut short by a power cut is the append it was about to record: that page
    // was not appended yet.
    for (std::size_t at = lineEnd; at != std::string::npos && at + 1 < text.size();) {
        std::size_t next = text.find('\n', at + 1);
        if (next == std::string::npos)
            break;
        std::string_view line(text.data() + at + 1, next - at - 1);
        at = next;
        if (line.starts_with(kHandedOnTo)) {
            read.handedOnTo = line.substr(kHandedOnTo.size());
            continue;
        }
        std::size_t blank = line.find(' ');
        MergeMarker::Append append{};
        if (blank == std::string_view::npos || !ParseNumber(line.substr(0, blank), append.page) ||
            !ParseNumber(line.substr(blank + 1), append.pagesBefore))
            return std::nullopt;
        read.appends.push_back(append);
    }
    return read;
}

bool StartMergeMarker(const std::string& marker, const std::string& stamp)
{
    return WriteMarker(marker, CREATE_ALWAYS, stamp + "\n");
}

bool RecordAppend(const std::string& marker, std::int32_t page, std::size_t pagesBefore)
{
    return WriteMarker(marker, OPEN_ALWAYS,
                       std::to_string(page) + " " + std::to_string(pagesBefore) + "\n");
}

bool RecordHandOn(const std::string& marker, const std::string& faxApiFile)
{
    return WriteMarker(marker, OPEN_ALWAYS, std::string(kHandedOnTo) + faxApiFile + "\n");
}

std::optional<std::set<std::int32_t>> PagesMerged(const MergeMarker& marker, std::size_t pagesNow)
{
    std::set<std::int32_t> merged;
    const auto& appends = marker.appends;
    for (std::size_t i = 0; i < appends.size(); ++i) {
        std::size_t before = appends[i].pagesBefore;
        std::size_t after = i + 1 < appends.size() ? appends[i + 1].pagesBefore : pagesNow;
        if (after == before + 1)
            merged.insert(appends[i].page);
        else if (after != before)
            return std::nullopt;
    }
    if (!appends.empty() && pagesNow < appends.back().pagesBefore)
        return std::nullopt;
    return merged;
}
