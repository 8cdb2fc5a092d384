#include "spool.h"

#include <windows.h>

#include <stdexcept>

#include "page_files.h"
#include "product/job_file.h"

namespace {

// JOB<n>.INI with the lowest free n; the file is created so no other printer run
// can take the same name.
std::string ClaimJobName(const std::string& spoolDir)
{
    CreateDirectoryA(spoolDir.c_str(), nullptr);
    for (int n = 1; n < 100000; ++n) {
        std::string name = spoolDir + "JOB" + std::to_string(n) + ".INI";
        HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            return name;
        }
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)
            throw std::runtime_error("cannot write to the spool directory " + spoolDir);
    }
    throw std::runtime_error("no free job name in " + spoolDir);
}

std::string PageFileName(const std::string& jobIni, std::size_t page)
{
    return jobIni.substr(0, jobIni.size() - 4) + "_P" + std::to_string(page) + ".TIF";
}

void WriteValue(const std::string& ini, const std::string& section, const char* key,
                const std::string& value)
{
    if (!WritePrivateProfileStringA(section.c_str(), key, value.c_str(), ini.c_str()))
        throw std::runtime_error("cannot write " + ini);
}

void WriteJobDescription(const SpooledJob& job)
{
    WriteValue(job.jobIni, JobFile::PrinterSection, JobFile::FirstPageSection,
               std::string(JobFile::PageSectionPrefix) + "1");
    WriteValue(job.jobIni, JobFile::PrinterSection, JobFile::TotalPageNumber,
               std::to_string(job.pageFiles.size()));
    WriteValue(job.jobIni, JobFile::PrinterSection, JobFile::FirstPage, "1");
    for (std::size_t i = 0; i < job.pageFiles.size(); ++i)
        WriteValue(job.jobIni, JobFile::PageSectionPrefix + std::to_string(i + 1),
                   JobFile::ImageFileName, job.pageFiles[i]);
}

template <typename Page, typename WritePage>
SpooledJob Spool(const std::string& spoolDir, const std::vector<Page>& pages, WritePage write)
{
    SpooledJob job{ClaimJobName(spoolDir), {}};
    try {
        for (std::size_t i = 0; i < pages.size(); ++i) {
            job.pageFiles.push_back(PageFileName(job.jobIni, i + 1));
            write(pages[i], job.pageFiles.back());
        }
        WriteJobDescription(job);
    } catch (...) {
        RemoveSpooledJob(job);
        throw;
    }
    return job;
}

}  // namespace

SpooledJob SpoolRenderedPages(const std::string& spoolDir, const std::vector<PageBitmap>& pages)
{
    return Spool(spoolDir, pages, WriteRenderedPage);
}

SpooledJob SpoolPageFiles(const std::string& spoolDir, const std::vector<std::string>& sources)
{
    return Spool(spoolDir, sources, ConvertPageFile);
}

void RemoveSpooledJob(const SpooledJob& job)
{
    for (const std::string& page : job.pageFiles)
        DeleteFileA(page.c_str());
    DeleteFileA(job.jobIni.c_str());
}
