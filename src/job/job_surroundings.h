#pragma once
// What a print job meets besides the files it works on: the user, who reads its boxes,
// and the settings file, which it reloads and whose fax-API entry it empties; and how
// long it waits on other programs. The main window gives the real ones; tests theirs.
#include <exception>
#include <string>

#include <windows.h>

class IJobSurroundings {
public:
    // A modal "Information" box; returns when the user has closed it.
    virtual void ShowInfoBox(const std::string& text) = 0;
    // Shows an error that ended a notification's handling (the standard error box).
    virtual void ReportError(const std::exception& error) = 0;
    // Reloads the settings (readQFSchINI).
    virtual void ReloadSettings() = 0;
    // Empties the fax-API entry of the settings file; false when it could not.
    virtual bool ClearGXAPIFileName() = 0;

protected:
    ~IJobSurroundings() = default;
};

struct JobWaits {
    // The pause before the settings reload at the end of a document.
    DWORD endDocPauseMs = 4000;
    // Open attempts made for each page image.
    int exclusiveAccessAttempts = 500001;
    // How long the next job waits while a scheduler still at work holds open the image it
    // was started for; and how long a scheduler started once more for an earlier job's
    // image gets to read it.
    DWORD schedulerStillAtWorkMs = 10000;
    DWORD schedulerStartedMs = 10000;
};
