#pragma once
// Every job the printer ended, on the disk from the end of its document until the job
// has run to its end, so that a program stopped meanwhile (killed, logged off, a power
// cut) finishes it when it starts again: the printer tells of a job once.
#include <cstdint>
#include <string>
#include <vector>

struct RecordedJob {
    // Its place in the order the jobs ended in; 0 when it could not be recorded.
    std::uint64_t number = 0;
    std::string jobIni;
    std::string outputImage;
    // False when the name is the lossy form of one the code page lacks.
    bool jobIniExact = true;
    bool outputImageExact = true;
    // Recorded by an earlier run of the program.
    bool resumed = false;
};

class JobRecords {
public:
    // The records live in folder, created when missing; an empty folder keeps none. Reads
    // the jobs an earlier run left unfinished and deletes half-written records: no job was
    // accepted by them.
    explicit JobRecords(std::wstring folder);

    // Those jobs, in order, each marked resumed.
    const std::vector<RecordedJob>& Unfinished() const { return unfinished_; }
    // Numbers the job and puts it on the disk; false when it could not, and the job
    // then runs unrecorded.
    bool Record(RecordedJob& job);
    // Once the job has run to its end, whatever its end.
    void Forget(const RecordedJob& job);

    const std::wstring& Folder() const { return folder_; }

private:
    std::wstring PathOf(std::uint64_t number) const;
    void ReadUnfinished();

    const std::wstring folder_;
    std::vector<RecordedJob> unfinished_;
    std::uint64_t last_ = 0;
};
