#include "job/job_run.h"

#include "job/keep_aside.h"

JobRun::JobRun(const std::string& jobIniName)
        : jobIni(jobIniName), MergedFileName(WithExtension(jobIniName, ".TIF")),
          marker(WithExtension(jobIniName, ".MRG"))
{
}
