#pragma once
// A merge keeps a marker beside its merged file until the job is cleared up: the job
// file's stamp (its write time and size) on the first line and, on the second, how many
// pages the merged file held before the job; once the fax is whole and checked, the
// pages it holds; once it is handed on, the file it went to. A marker whose stamp no
// longer matches its job file was left by a job that died (a new job has since taken
// the name): its merged file belongs to no later job. A matching one tells a resent job
// whether its stopped run handed the fax on already, and which page images went with it.
// Each line is on the disk before the step it speaks of.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The job file's write time and size as text; empty when it cannot be read.
std::string JobFileStamp(const std::string& jobIni);

struct MergeMarker {
    std::string stamp;
    // nullopt when the line was lost: the merged file may hold pages of before the job.
    std::optional<std::size_t> pagesBeforeTheJob;
    // The job's pages in the fax, once it was whole.
    std::optional<std::vector<std::int32_t>> faxPages;
    // The file the fax was handed on to; empty when it was not.
    std::string handedOnTo;
};

// nullopt when there is no marker or it is not one of ours.
std::optional<MergeMarker> ReadMergeMarker(const std::string& marker);

// Each false when the marker could not be written to stable storage.
bool StartMergeMarker(const std::string& marker, const std::string& stamp,
                      std::size_t pagesBeforeTheJob);
bool RecordFaxPages(const std::string& marker, const std::vector<std::int32_t>& pages);
bool RecordHandOn(const std::string& marker, const std::string& target);
