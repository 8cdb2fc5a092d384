#include "system_state.h"

#include <shlobj.h>

void RemoveControlFiles()
{
    DeleteFileA((SystemDirectory() + "\\IMOCX32.OCX").c_str());
    DeleteFileA((SystemDirectory() + "\\IMTWAIN3.OCX").c_str());
}

std::string RecordFolder()
{
    char local[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, local);
    return std::string(local) + "\\Kelvarin";
}

std::vector<std::string> RecordedJobs()
{
    std::vector<std::string> jobs;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((RecordFolder() + "\\Jobs\\*.JOB").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return jobs;
    do
        jobs.push_back(RecordFolder() + "\\Jobs\\" + entry.cFileName);
    while (FindNextFileA(find, &entry));
    FindClose(find);
    return jobs;
}

void ForgetJobRecords()
{
    for (const std::string& job : RecordedJobs())
        DeleteFileA(job.c_str());
    DeleteFileA((RecordFolder() + "\\SCHEDULER.REC").c_str());
}
