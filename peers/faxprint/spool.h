#pragma once
// The printer driver's output for one document: a G3 1D TIFF file per page and the
// job-description file that lists them, in a spool directory.
#include <string>
#include <vector>

#include "text_pages.h"

struct SpooledJob {
    std::string jobIni;
    std::vector<std::string> pageFiles;
};

// Claims a new job name in spoolDir (JOB<n>.INI) and writes the pages and the
// job-description file. Raises std::runtime_error with what failed; nothing is left.
SpooledJob SpoolRenderedPages(const std::string& spoolDir, const std::vector<PageBitmap>& pages);
SpooledJob SpoolPageFiles(const std::string& spoolDir, const std::vector<std::string>& sources);

// Removes everything a spooled job wrote.
void RemoveSpooledJob(const SpooledJob& job);
