#include "job/record_file.h"

#include <windows.h>
#include <shlobj.h>

#include "base/scoped_handle.h"
#include "base/write_all.h"

namespace {

// A record names a job's two files: far below this.
constexpr DWORD kMaxRecord = 64 * 1024;

}  // namespace

std::wstring PerUserRecordFolder()
{
    wchar_t local[MAX_PATH];
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                                SHGFP_TYPE_CURRENT, local)))
        return {};
    std::wstring folder = std::wstring(local) + L"\\Kelvarin";
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return {};
    return folder;
}

bool WriteRecordFile(const std::wstring& path, const std::string& text)
{
    const std::wstring part = path + L".part";
    ScopedFile file(CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    bool written = file && WriteAll(file.Get(), text.data(), static_cast<DWORD>(text.size())) &&
                   FlushFileBuffers(file.Get());
    file.Reset();
    if (written &&
        MoveFileExW(part.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    DeleteFileW(part.c_str());
    return false;
}

std::optional<std::string> ReadRecordFile(const std::wstring& path)
{
    ScopedFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return std::nullopt;
    std::string text(kMaxRecord, '\0');
    DWORD got = 0;
    if (!ReadFile(file.Get(), text.data(), kMaxRecord, &got, nullptr) || got == kMaxRecord)
        return std::nullopt;
    text.resize(got);
    return text;
}
