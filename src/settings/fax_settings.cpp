#include "settings/fax_settings.h"

#include "base/exception.h"
#include "base/module_path.h"
#include "product/settings_file.h"
#include "settings/bounded_text.h"
#include "settings/integer_text.h"
#include "settings/profile.h"

TFaxSettings FaxSettings;

namespace {

// The Windows directory as last fetched by a load; the clear writes there.
std::string LastWindowsDirectory;

bool FetchSettingsDirectory(const SettingsAccess& access)
{
    char buffer[kMaxDirLength + 1] = {};
    UINT length = access.windowsDirectory(buffer, sizeof buffer);
    if (length == 0)
        return false;
    // A longer directory does not fit the buffer: the call then fills nothing
    // and reports the size it needs, and the settings are looked for nowhere.
    if (length >= sizeof buffer)
        return false;
    LastWindowsDirectory.assign(buffer, length);
    return true;
}

std::string SettingsPath() { return SettingsFilePath(LastWindowsDirectory); }

std::string ReadText(const char* section, const char* key, const char* defaultValue)
{
    return CutTo(ReadProfileText(SettingsPath(), section, key, defaultValue), kMaxTextLength);
}

// Everything before the first "PROG"; empty when it is missing or at the very start.
std::string RootPrefix(const std::string& progDir)
{
    std::size_t at = progDir.find("PROG");
    return at == std::string::npos ? std::string() : progDir.substr(0, at);
}

void AppendBackslash(std::string& dir)
{
    if (!EndsWithBackslash(dir))
        AppendBounded(dir, "\\", kMaxDirLength);
}

}  // namespace

std::string SettingsFilePath(const std::string& windowsDirectory)
{
    return windowsDirectory + "\\" + SettingsFile::Name;
}

void readQFSchINI(const SettingsAccess& access)
{
    if (!FetchSettingsDirectory(access))
        return;
    TFaxSettings& s = FaxSettings;

    s.ProgDir = CutTo(ReadText(SettingsFile::Quilfa, SettingsFile::ProgDir, ""), kMaxDirLength);
    if (s.ProgDir.empty()) {
        std::string dir = CutTo(ModuleDirectory(), kMaxDirLength);
        AppendBackslash(dir);
        s.ProgDir = CutTo(AsciiUpper(dir), kMaxDirLength);
    }
    const std::string root = RootPrefix(s.ProgDir);

    s.AdminDir = CutTo(ReadText(SettingsFile::Quilfa, SettingsFile::AdminDir, ""), kMaxDirLength);
    if (s.AdminDir.empty())
        s.AdminDir = CutTo(root + "ADMIN", kMaxDirLength);
    AppendBackslash(s.AdminDir);
    CreateDirectoryA((s.AdminDir + "TEMP").c_str(), nullptr);

    s.UsersDir = CutTo(root + "USERS", kMaxDirLength);
    CreateDirectoryA(s.UsersDir.c_str(), nullptr);
    AppendBackslash(s.UsersDir);

    s.User = CutTo(ReadText(SettingsFile::Quilfa, SettingsFile::User, "0001"), 5);
    std::optional<std::int32_t> user = ParseIntegerText(s.User);
    if (!user)
        throw Exception("'" + s.User + "' is not a valid integer value");
    s.UserNumber = static_cast<std::uint16_t>(*user);

    s.PrivateDir =
        CutTo(ReadText(SettingsFile::Quilfa, SettingsFile::PrivateDir, ""), kMaxDirLength);
    s.Phonebook = CutTo(ReadText(SettingsFile::Quilfa, SettingsFile::Phonebook, "FAXLIST.PB"), 12);
    // Only 1 and 2 are known; 1 is the old name of 2. Other values are kept.
    s.ModemType =
        ReadProfileInteger(SettingsPath(), SettingsFile::Quilfa, SettingsFile::ModemType, 2);
    if (s.ModemType == 1)
        s.ModemType = 2;
    s.Resolution =
        ReadProfileInteger(SettingsPath(), SettingsFile::Options, SettingsFile::Resolution, 1);

    ReadGXAPISettings(access);
}

void ReadGXAPISettings(const SettingsAccess& access)
{
    if (!FetchSettingsDirectory(access))
        return;
    // Whole: the hand-off deletes and replaces the file it names, and a name cut short
    // could name another file.
    FaxSettings.GXAPIFileName =
        ReadProfileText(SettingsPath(), SettingsFile::GXAPI, SettingsFile::FileName, "");
    FaxSettings.GXAPIResolution =
        ReadProfileInteger(SettingsPath(), SettingsFile::GXAPI, SettingsFile::Resolution, 1);
}

bool ClearGXAPIFileName(const SettingsAccess& access)
{
    const std::string path = SettingsPath();
    HFILE handle = HFILE_ERROR;
    for (int attempt = 0; attempt < access.clearAttempts; ++attempt) {
        handle = _lopen(path.c_str(), OF_READ | OF_SHARE_EXCLUSIVE);
        if (handle != HFILE_ERROR && handle > 0)
            break;
    }
    if (handle == HFILE_ERROR || handle <= 0)
        return false;
    _lclose(handle);

    if (!FetchSettingsDirectory(access))
        return false;
    try {
        WriteProfileText(SettingsPath(), SettingsFile::GXAPI, SettingsFile::FileName, "");
    } catch (const Exception&) {
        return false;
    }
    return true;
}
