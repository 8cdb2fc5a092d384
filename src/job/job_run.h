#pragma once
// One run of a print job, from the end of its document to its hand-off: made when
// PMT_END_DOC starts the work and handed to the merge and the hand-off. Nothing of it
// outlives the run.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

// A page the fax goes without, reported once the merge has ended.
struct LeftOutPage {
    std::int32_t number;
    const char* reason;
    std::string image;
};

struct JobRun {
    // The job file, the merged file beside it (its name with ".TIF") and the merge's
    // marker (".MRG").
    explicit JobRun(const std::string& jobIniName);

    const std::string jobIni;
    const std::string MergedFileName;
    const std::string marker;
    // How many pages the merged file holds.
    std::size_t mergedPages = 0;
    // The pages a stopped run of this job put into the merged file, and the last page it
    // began to append: the pages before it that are not in the file were left out then.
    std::set<std::int32_t> mergedBeforeTheStop;
    std::int32_t stoppedAt = INT32_MIN;
    std::vector<LeftOutPage> leftOut;
    // A left-out page image is still under the name its job file gives it.
    bool pagesLeftInPlace = false;
    // The merge goes on with a stopped run of this same job that handed the fax on
    // already: the scheduler image found at the start holds the merged file's bytes, or
    // the marker names the fax-API file it went to (handedOnTo).
    bool handedOnBeforeTheStop = false;
    std::string handedOnTo;
};
