#pragma once
// The fax product's shared settings file in the Windows directory, a profile (INI)
// file that its user-setup and fax-API sides write too.
namespace SettingsFile {
inline constexpr char Name[] = "QFSCH.INI";

inline constexpr char Quilfa[] = "Quilfa";
inline constexpr char ProgDir[] = "ProgDir";
inline constexpr char AdminDir[] = "AdminDir";
inline constexpr char User[] = "User";
inline constexpr char PrivateDir[] = "PrivateDir";
inline constexpr char Phonebook[] = "Phonebook";
inline constexpr char ModemType[] = "ModemType";

inline constexpr char Options[] = "Options";
inline constexpr char Resolution[] = "Resolution";

// The fax-API hand-off: a file name the merged fax goes to, emptied once it went.
inline constexpr char GXAPI[] = "GXAPI";
inline constexpr char FileName[] = "FileName";
}  // namespace SettingsFile

// The fax scheduler's program and the file it takes from the private directory.
namespace Scheduler {
inline constexpr char Program[] = "QUEUEMGR.EXE";
inline constexpr char ImageName[] = "FAX.$$$";
}  // namespace Scheduler
