#pragma once
// What the program finds outside itself: the settings file in the Windows directory
// and the control files in the system directory. Each test sets them as it needs;
// the settings file is put back afterwards.
#include <string>

#include <windows.h>

#include "test_support.h"

std::string WindowsDirectory();
std::string SystemDirectory();

class SettingsFile {
public:
    SettingsFile();
    ~SettingsFile();
    SettingsFile(const SettingsFile&) = delete;
    SettingsFile& operator=(const SettingsFile&) = delete;

    void Write(const std::string& text);
    std::string Path() const { return WindowsDirectory() + "\\QFSCH.INI"; }

private:
    bool existed_ = false;
    std::string saved_;
};

void RemoveControlFiles();
