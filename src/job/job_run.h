#pragma once
// One run of a print job, from the end of its document to its hand-off: made when
// PMT_END_DOC starts the work and handed to the merge and the hand-off. Nothing of it
// outlives the run.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "job/merged_file_check.h"

// A page the fax goes without, reported once the merge has ended.
struct LeftOutPage {
    std::int32_t number;
    const char* reason;
    std::string image;
};

// A page of the merged file as the program last read it. Pages the file held before
// the job have no number and no image.
struct MergedPage {
    std::int32_t number;
    std::string image;
    PageFingerprint fingerprint;
};

struct JobRun {
    // The job file, the merged file beside it (its name with ".TIF") and the merge's
    // marker (".MRG").
    JobRun(const std::string& jobIniName, const std::string& outputImageName);

    const std::string jobIni;
    // The printer's output file named last: only logged.
    const std::string outputImage;
    const std::string MergedFileName;
    const std::string marker;
    // The marker was started: there is a record to add to.
    bool marked = false;
    // What the merged file holds, in order. Every page image stays until the fax that
    // holds it is handed on: the control is trusted with none.
    std::vector<MergedPage> merged;
    std::size_t pagesBeforeTheJob = 0;
    std::vector<LeftOutPage> leftOut;
    // A save lost or changed pages of the merged file: it is merged again.
    bool damaged = false;
    // A left-out page image is still under the name its job file gives it.
    bool pagesLeftInPlace = false;
    // A stopped run of this same job handed the fax on already: the scheduler image
    // found at the start holds the merged file's bytes, or the marker names the file it
    // went to (handedOnTo). `merged` then holds the pages the marker says the fax holds.
    bool handedOnBeforeTheStop = false;
    std::string handedOnTo;

    std::vector<PageFingerprint> Fingerprints() const;
};
