#pragma once
// The program-wide settings record, loaded from QFSCH.INI in the Windows directory, and
// the product's directory layout derived from the program directory.
#include <cstdint>
#include <string>

#include <windows.h>

struct TFaxSettings {
    std::string GXAPIFileName;  // whole; empty: hand the job to the scheduler
    std::int32_t GXAPIResolution = 0;
    std::int32_t ModemType = 0;
    std::uint16_t UserNumber = 0;
    std::string User;       // at most 5
    std::string Phonebook;  // at most 12
    std::int32_t Resolution = 0;
    std::string AdminDir;    // at most 144, ends with a backslash
    std::string UsersDir;    // at most 144, ends with a backslash
    std::string ProgDir;     // at most 144
    std::string PrivateDir;  // at most 144, as written in the file
};

extern TFaxSettings FaxSettings;

constexpr std::size_t kMaxDirLength = 144;
constexpr std::size_t kMaxTextLength = 255;

// Where the settings file is looked for, and how many exclusive-open attempts the
// clear makes: the program's own by default; tests give theirs.
struct SettingsAccess {
    UINT(WINAPI* windowsDirectory)(LPSTR buffer, UINT size) = GetWindowsDirectoryA;
    int clearAttempts = 5001;
};

// Loads every field. Raises "'<User>' is not a valid integer value" when the user
// number is not an integer text; the fields read before it keep their new values.
void readQFSchINI(const SettingsAccess& access = {});

// Reloads GXAPIFileName and GXAPIResolution; the last step of readQFSchINI.
void ReadGXAPISettings(const SettingsAccess& access = {});

// Empties the key FileName of section GXAPI once no other process holds the file
// open. False when that never happened, or the write failed.
bool ClearGXAPIFileName(const SettingsAccess& access = {});

// The settings file's path for a Windows directory.
std::string SettingsFilePath(const std::string& windowsDirectory);
