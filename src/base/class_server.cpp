#include "base/class_server.h"

#include <windows.h>

#include "base/scoped_handle.h"
#include "base/text_conversion.h"

namespace {

bool FileIdentity(const std::wstring& name, BY_HANDLE_FILE_INFORMATION& identity)
{
    ScopedFile file(CreateFileW(name.c_str(), 0,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    return file && GetFileInformationByHandle(file.Get(), &identity);
}

}  // namespace

std::wstring InprocServerFile(std::string_view classText)
{
    std::wstring key = L"CLSID\\" + ToWide(classText) + L"\\InprocServer32";
    std::wstring file(MAX_PATH, L'\0');
    for (;;) {
        DWORD size = static_cast<DWORD>(file.size() * sizeof(wchar_t));
        // A REG_EXPAND_SZ value too, expanded.
        LONG status = RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr,
                                   file.data(), &size);
        if (status == ERROR_MORE_DATA) {
            file.resize(file.size() * 2);
            continue;
        }
        if (status != ERROR_SUCCESS)
            return {};
        file.resize(size / sizeof(wchar_t));
        while (!file.empty() && file.back() == L'\0')
            file.pop_back();
        return file;
    }
}

bool SameFile(const std::wstring& first, const std::wstring& second)
{
    if (CompareStringOrdinal(first.c_str(), -1, second.c_str(), -1, TRUE) == CSTR_EQUAL)
        return true;
    BY_HANDLE_FILE_INFORMATION one, other;
    return FileIdentity(first, one) && FileIdentity(second, other) &&
           one.dwVolumeSerialNumber == other.dwVolumeSerialNumber &&
           one.nFileIndexHigh == other.nFileIndexHigh && one.nFileIndexLow == other.nFileIndexLow;
}
