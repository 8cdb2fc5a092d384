#include "system_state.h"

std::string WindowsDirectory()
{
    char path[MAX_PATH + 1] = {};
    GetWindowsDirectoryA(path, MAX_PATH);
    return path;
}

std::string SystemDirectory()
{
    char path[MAX_PATH + 1] = {};
    GetSystemDirectoryA(path, MAX_PATH);
    return path;
}

SettingsFile::SettingsFile() : existed_(FileExists(Path()))
{
    if (existed_)
        saved_ = ReadFileText(Path());
}

SettingsFile::~SettingsFile()
{
    if (existed_)
        WriteFileText(Path(), saved_);
    else
        DeleteFileA(Path().c_str());
}

void SettingsFile::Write(const std::string& text) { WriteFileText(Path(), text); }

void RemoveControlFiles()
{
    DeleteFileA((SystemDirectory() + "\\IMOCX32.OCX").c_str());
    DeleteFileA((SystemDirectory() + "\\IMTWAIN3.OCX").c_str());
}
