#pragma once
// A merge keeps a marker beside its merged file until the job is handed off: the job
// file's stamp (its write time and size) on the first line, then, written before each
// page is appended, a line with the page's number and how many pages the merged file
// held; once the merged file is whole in a fax-API file, a line naming that file. A
// marker whose stamp no longer matches its job file was left by a job that died in its
// merge (a new job has since taken the name): its pages belong to no later job. A
// matching one tells a resent job which pages its stopped run put in, and whether that
// run handed the fax on already.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

// The job file's write time and size as text; empty when it cannot be read.
std::string JobFileStamp(const std::string& jobIni);

struct MergeMarker {
    struct Append {
        std::int32_t page;
        std::size_t pagesBefore;
    };
    std::string stamp;
    std::vector<Append> appends;
    // The fax-API file the merged file was handed on to; empty when it was not.
    std::string handedOnTo;
};

// nullopt when there is no marker or it is not one of ours.
std::optional<MergeMarker> ReadMergeMarker(const std::string& marker);

// Each false when the marker could not be written to stable storage, where it must be
// before the merged file holds the page it speaks of.
bool StartMergeMarker(const std::string& marker, const std::string& stamp);
bool RecordAppend(const std::string& marker, std::int32_t page, std::size_t pagesBefore);
bool RecordHandOn(const std::string& marker, const std::string& faxApiFile);

// The pages the appends put into a merged file that now holds pagesNow pages: each
// append the next one's count, or the file's, shows done. nullopt when the marker and
// the file disagree, so the file holds pages the marker does not account for.
std::optional<std::set<std::int32_t>> PagesMerged(const MergeMarker& marker, std::size_t pagesNow);
