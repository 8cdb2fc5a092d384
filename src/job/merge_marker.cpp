#include "job/merge_marker.h"

#include <charconv>
#include <string_view>

#include <windows.h>

#include "base/scoped_handle.h"
#include "base/write_all.h"

namespace {

// The pages line names at most 65535 pages.
constexpr DWORD kMaxMarker = 2 * 1024 * 1024;

constexpr std::string_view kBefore = "before ";
constexpr std::string_view kPages = "pages";
constexpr std::string_view kHandedOnTo = "handed on to ";

bool WriteMarker(const std::string& marker, DWORD disposition, const std::string& text)
{
    ScopedFile file(CreateFileA(marker.c_str(),
                                disposition == OPEN_ALWAYS ? FILE_APPEND_DATA : GENERIC_WRITE, 0,
                                nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && WriteAll(file.Get(), text.data(), static_cast<DWORD>(text.size())) &&
           FlushFileBuffers(file.Get());
}

template <typename Number>
bool ParseNumber(std::string_view text, Number& number)
{
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    return error == std::errc() && end == text.data() + text.size();
}

// " 1 2 5" into its numbers.
std::optional<std::vector<std::int32_t>> ParsePages(std::string_view text)
{
    std::vector<std::int32_t> pages;
    while (!text.empty()) {
        if (text.front() != ' ')
            return std::nullopt;
        text.remove_prefix(1);
        std::size_t end = text.find(' ');
        std::int32_t page = 0;
        if (!ParseNumber(text.substr(0, end), page))
            return std::nullopt;
        pages.push_back(page);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end);
    }
    return pages;
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
    // A line cut short by a power cut was not written: the step it speaks of was not taken.
    for (std::size_t at = lineEnd; at != std::string::npos && at + 1 < text.size();) {
        std::size_t next = text.find('\n', at + 1);
        if (next == std::string::npos)
            break;
        std::string_view line(text.data() + at + 1, next - at - 1);
        at = next;
        if (line.starts_with(kHandedOnTo)) {
            read.handedOnTo = line.substr(kHandedOnTo.size());
        } else if (line.starts_with(kBefore)) {
            std::size_t before = 0;
            if (!ParseNumber(line.substr(kBefore.size()), before))
                return std::nullopt;
            read.pagesBeforeTheJob = before;
        } else if (line.starts_with(kPages)) {
            read.faxPages = ParsePages(line.substr(kPages.size()));
            if (!read.faxPages)
                return std::nullopt;
        } else {
            return std::nullopt;
        }
    }
    return read;
}

bool StartMergeMarker(const std::string& marker, const std::string& stamp,
                      std::size_t pagesBeforeTheJob)
{
    return WriteMarker(marker, CREATE_ALWAYS,
                       stamp + "\n" + std::string(kBefore) + std::to_string(pagesBeforeTheJob) +
                           "\n");
}

bool RecordFaxPages(const std::string& marker, const std::vector<std::int32_t>& pages)
{
    std::string line(kPages);
    for (std::int32_t page : pages)
        line += " " + std::to_string(page);
    return WriteMarker(marker, OPEN_ALWAYS, line + "\n");
}

bool RecordHandOn(const std::string& marker, const std::string& target)
{
    return WriteMarker(marker, OPEN_ALWAYS, std::string(kHandedOnTo) + target + "\n");
}
