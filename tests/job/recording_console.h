#pragma once
// Stands in for the console pane: keeps what the job log wrote.
#include <algorithm>
#include <string>
#include <vector>

#include "job/job_log.h"

class RecordingConsole : public ILogConsole {
public:
    void Write(std::string_view text) override { written.emplace_back(text); }
    void RepaintNow() override { ++repaints; }

    // The messages of the lines written, without their time stamps and line ends.
    std::vector<std::string> Messages() const
    {
        std::vector<std::string> messages;
        for (const std::string& line : written)
            messages.push_back(line.substr(21, line.size() - 23));
        return messages;
    }

    // Whether a line of the log is exactly this message.
    bool Logged(const std::string& message) const
    {
        std::vector<std::string> messages = Messages();
        return std::find(messages.begin(), messages.end(), message) != messages.end();
    }

    std::vector<std::string> written;
    int repaints = 0;
};
