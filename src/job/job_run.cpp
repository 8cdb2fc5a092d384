#include "job/job_run.h"

#include "job/keep_aside.h"

JobRun::JobRun(const std::string& jobIniName, const std::string& outputImageName)
        : jobIni(jobIniName), outputImage(outputImageName),
          MergedFileName(WithExtension(jobIniName, ".TIF")),
          marker(WithExtension(jobIniName, ".MRG"))
{
}

std::vector<PageFingerprint> JobRun::Fingerprints() const
{
    std::vector<PageFingerprint> prints;
    for (const MergedPage& page : merged)
        prints.push_back(page.fingerprint);
    return prints;
}
