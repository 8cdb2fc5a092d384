#include "job/job_records.h"

#include <algorithm>
#include <charconv>
#include <cwchar>
#include <optional>
#include <string_view>

#include <windows.h>
#include <shlobj.h>

#include "job/record_file.h"

namespace {

constexpr std::string_view kJob = "job ";
constexpr std::string_view kOutput = "output ";
constexpr std::string_view kExact = "exact ";
constexpr std::string_view kEnd = "end";

// "0000000042.JOB": the number, so that names sort as the jobs ended.
constexpr int kDigits = 10;
// What a power cut leaves of a record being written (record_file.cpp).
constexpr std::wstring_view kPart = L".part";

std::optional<std::uint64_t> NumberOf(const std::wstring& name)
{
    if (name.size() != kDigits + 4 || _wcsicmp(name.c_str() + kDigits, L".JOB") != 0)
        return std::nullopt;
    std::uint64_t number = 0;
    for (int i = 0; i < kDigits; ++i) {
        if (name[i] < L'0' || name[i] > L'9')
            return std::nullopt;
        number = number * 10 + (name[i] - L'0');
    }
    return number;
}

std::string Text(const RecordedJob& job)
{
    return std::string(kJob) + job.jobIni + "\n" + std::string(kOutput) + job.outputImage + "\n" +
           std::string(kExact) + (job.jobIniExact ? "1" : "0") +
           (job.outputImageExact ? "1" : "0") + "\n" + std::string(kEnd) + "\n";
}

// nullopt for a text that is not a whole record.
std::optional<RecordedJob> Parse(std::string_view text)
{
    RecordedJob job;
    auto line = [&text](std::string_view key, std::string& value) {
        std::size_t end = text.find('\n');
        if (end == std::string_view::npos || !text.starts_with(key))
            return false;
        value = text.substr(key.size(), end - key.size());
        text.remove_prefix(end + 1);
        return true;
    };
    std::string exact, end;
    if (!line(kJob, job.jobIni) || !line(kOutput, job.outputImage) || !line(kExact, exact) ||
        !line(kEnd, end) || exact.size() != 2 || !end.empty() || !text.empty())
        return std::nullopt;
    job.jobIniExact = exact[0] == '1';
    job.outputImageExact = exact[1] == '1';
    return job;
}

}  // namespace

JobRecords::JobRecords(std::wstring folder) : folder_(std::move(folder))
{
    if (folder_.empty())
        return;
    SHCreateDirectoryExW(nullptr, folder_.c_str(), nullptr);  // and the folders above it
    ReadUnfinished();
}

std::wstring JobRecords::PathOf(std::uint64_t number) const
{
    wchar_t name[kDigits + 5];
    std::swprintf(name, sizeof name / sizeof name[0], L"%010llu.JOB",
                  static_cast<unsigned long long>(number));
    return folder_ + L"\\" + name;
}

void JobRecords::ReadUnfinished()
{
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder_ + L"\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring_view name = entry.cFileName;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                continue;
            if (name.ends_with(kPart)) {
                DeleteFileW((folder_ + L"\\" + entry.cFileName).c_str());
                continue;
            }
            std::optional<std::uint64_t> number = NumberOf(entry.cFileName);
            if (!number)
                continue;
            last_ = std::max(last_, *number);
            // One that cannot be read now is left for the next start.
            std::optional<std::string> text = ReadRecordFile(PathOf(*number));
            if (!text)
                continue;
            std::optional<RecordedJob> job = Parse(*text);
            if (!job) {
                DeleteFileW(PathOf(*number).c_str());
                continue;
            }
            job->number = *number;
            job->resumed = true;
            unfinished_.push_back(*job);
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    std::sort(unfinished_.begin(), unfinished_.end(),
              [](const RecordedJob& a, const RecordedJob& b) { return a.number < b.number; });
}

bool JobRecords::Record(RecordedJob& job)
{
    job.number = 0;
    if (folder_.empty() || !WriteRecordFile(PathOf(last_ + 1), Text(job)))
        return false;
    job.number = ++last_;
    return true;
}

void JobRecords::Forget(const RecordedJob& job)
{
    if (job.number != 0)
        DeleteFileW(PathOf(job.number).c_str());
}
