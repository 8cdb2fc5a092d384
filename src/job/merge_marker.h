#pragma once
// A merge leaves a marker beside its merged file until the job is handed off: the
// job-description file's write time and size. A merged file found with a marker that
// no longer matches its job file was left by a job that died in its merge (a new job
// has since taken the name): its pages belong to no later job.
#include <string>

// The job file's write time and size as text; empty when it cannot be read.
std::string JobFileStamp(const std::string& jobIni);

// The stamp a marker holds; empty when there is none.
std::string ReadMergeMarker(const std::string& marker);

// Writes the stamp to stable storage: it must be there before the merged file holds a
// page of this job. False when it could not be written.
bool WriteMergeMarker(const std::string& marker, const std::string& stamp);
