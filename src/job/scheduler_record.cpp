#include "job/scheduler_record.h"

#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include <windows.h>
#include <objbase.h>

#include "base/scoped_handle.h"
#include "job/fnv_hash.h"
#include "job/record_file.h"

namespace {

constexpr DWORD kChunk = 64 * 1024;

// A volatile key: gone when the user's session ends or the machine stops.
constexpr const wchar_t* kSessionKey = L"Software\\Kelvarin\\Session";
constexpr const char* kSessionValue = "Id";

// "<size> <checksum> <write time>" of the file: a copy of the same fax made later is
// another image. nullopt when it cannot be read; read while the scheduler may hold it.
std::optional<std::string> PrintOf(const std::string& file)
{
    ScopedFile handle(CreateFileA(file.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle)
        return std::nullopt;
    std::vector<char> buffer(kChunk);
    FnvHash hash;
    unsigned long long size = 0;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(handle.Get(), buffer.data(), kChunk, &got, nullptr))
            return std::nullopt;
        if (got == 0)
            break;
        hash.Add(buffer.data(), got);
        size += got;
    }
    FILETIME written;
    if (!GetFileTime(handle.Get(), nullptr, nullptr, &written))
        return std::nullopt;
    char text[64];
    std::snprintf(text, sizeof text, "%llu %016llx %08lx%08lx", size,
                  static_cast<unsigned long long>(hash.Value()),
                  static_cast<unsigned long>(written.dwHighDateTime),
                  static_cast<unsigned long>(written.dwLowDateTime));
    return text;
}

// This session's mark, made at its first use; empty when there is none.
std::string SessionMark()
{
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kSessionKey, 0, nullptr, REG_OPTION_VOLATILE,
                        KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return {};
    char mark[40] = {};
    DWORD size = sizeof mark - 1;
    DWORD type = 0;
    bool read = RegQueryValueExA(key, kSessionValue, nullptr, &type, reinterpret_cast<BYTE*>(mark),
                                 &size) == ERROR_SUCCESS &&
                type == REG_SZ;
    GUID id;
    if (!read && SUCCEEDED(CoCreateGuid(&id))) {
        std::snprintf(mark, sizeof mark, "%08lx%04x%04x%02x%02x%02x%02x%02x%02x%02x%02x",
                      static_cast<unsigned long>(id.Data1), id.Data2, id.Data3, id.Data4[0],
                      id.Data4[1], id.Data4[2], id.Data4[3], id.Data4[4], id.Data4[5], id.Data4[6],
                      id.Data4[7]);
        read = RegSetValueExA(key, kSessionValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(mark),
                              static_cast<DWORD>(std::strlen(mark) + 1)) == ERROR_SUCCESS;
    }
    RegCloseKey(key);
    return read ? std::string(mark) : std::string();
}

}  // namespace

SchedulerRecord::SchedulerRecord(const std::wstring& folder)
        : path_(folder.empty() ? folder : folder + L"\\SCHEDULER.REC"),
          leavesPath_(folder.empty() ? folder : folder + L"\\SCHEDULER.LEAVES")
{
}

SchedulerStart SchedulerRecord::StartedFor(const std::string& image) const
{
    std::optional<std::string> record = path_.empty() ? std::nullopt : ReadRecordFile(path_);
    std::optional<std::string> print = PrintOf(image);
    if (!record || !print)
        return SchedulerStart::Never;
    // "<image>\n<size> <checksum> <write time>\n<session>\n"
    std::string expected = image + "\n" + *print + "\n";
    if (record->compare(0, expected.size(), expected) != 0)
        return SchedulerStart::Never;
    std::string session = SessionMark();
    return !session.empty() && record->substr(expected.size()) == session + "\n"
               ? SchedulerStart::ThisSession
               : SchedulerStart::EarlierSession;
}

bool SchedulerRecord::RecordStart(const std::string& image)
{
    std::optional<std::string> print = PrintOf(image);
    return !path_.empty() && print &&
           WriteRecordFile(path_, image + "\n" + *print + "\n" + SessionMark() + "\n");
}

bool SchedulerRecord::Forget() { return !path_.empty() && DeleteFileW(path_.c_str()); }

bool SchedulerRecord::LeavesImages() const
{
    return !leavesPath_.empty() &&
           GetFileAttributesW(leavesPath_.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void SchedulerRecord::LearnLeavesImages(bool leaves)
{
    if (leavesPath_.empty() || leaves == LeavesImages())
        return;
    if (leaves)
        WriteRecordFile(leavesPath_, "the scheduler copies its images and leaves them\n");
    else
        DeleteFileW(leavesPath_.c_str());
}
