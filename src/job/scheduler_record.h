#pragma once
// The scheduler image the program last started the scheduler for, known by its name,
// size, checksum and write time. The scheduler may take its image away, or copy it and leave it: an
// image it was started for has been handed on, and the next job deletes it. The record
// also holds a mark of the log-on session the start was made in: a session that ended
// (a power cut, a log-off) may have ended the scheduler before it read the image.
#include <string>

enum class SchedulerStart { Never, EarlierSession, ThisSession };

class SchedulerRecord {
public:
    // The record lives in folder; an empty folder keeps none.
    explicit SchedulerRecord(const std::wstring& folder);

    // Whether the scheduler was started for the image as it is now.
    SchedulerStart StartedFor(const std::string& image) const;
    // Before a start; false when it could not be recorded.
    bool RecordStart(const std::string& image);
    // Once the image it names is gone, or its start failed; false when there was none.
    bool Forget();

    // Whether the scheduler is known to copy the images it reads and leave them: one of
    // them still there after the session of its start ended was read all the same.
    // Learnt at the next job: an image the scheduler was started for in the same session
    // is still there once let go (it leaves them), or is gone (it takes them).
    bool LeavesImages() const;
    void LearnLeavesImages(bool leaves);

private:
    const std::wstring path_;
    const std::wstring leavesPath_;
};
