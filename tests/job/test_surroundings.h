#pragma once
// A job's surroundings as the job tests set them: every box recorded (an error box as
// "error: <text>"), and what a test does while one shows; the settings read from the
// test's Windows directory (test_support.h); the settings entry's clear the real one,
// with few attempts, unless a test gives its own.
#include <functional>
#include <string>
#include <vector>

#include "job/job_surroundings.h"
#include "settings/fax_settings.h"
#include "test_support.h"

inline const SettingsAccess kTestSettings{TestWindowsDirectory, 50};

// No pause at the end of a document, a few open attempts, a short wait for a scheduler
// at work, and time enough for one started under Wine.
inline constexpr JobWaits kTestWaits{0, 300, 200, 30000};

class TestSurroundings : public IJobSurroundings {
public:
    void ShowInfoBox(const std::string& text) override
    {
        boxes.push_back(text);
        if (atBox)
            atBox(text);
    }
    void ReportError(const std::exception& error) override
    {
        boxes.push_back(std::string("error: ") + error.what());
    }
    void ReloadSettings() override { readQFSchINI(kTestSettings); }
    bool ClearGXAPIFileName() override
    {
        return clear ? clear() : ::ClearGXAPIFileName(kTestSettings);
    }

    std::vector<std::string> boxes;
    std::function<void(const std::string& text)> atBox;
    std::function<bool()> clear;
};
