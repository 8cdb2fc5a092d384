// FAXPRINT.EXE, the fax printer driver's stand-in: what the driver does for one
// document, then the three notifications through the printer pipe.
//   FAXPRINT.EXE [--spool DIR] [--pages N] FILE.txt       renders a text document
//   FAXPRINT.EXE [--spool DIR] PAGE.tif|PAGE.pbm ...     takes ready pages
//   FAXPRINT.EXE --raw CODE [PATH]                       sends one record of any code
// Pages go to DIR (default: SPOOL\ beside this program).
#include <windows.h>
#include <shellapi.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/module_path.h"
#include "base/text_conversion.h"
#include "pipe_client.h"
#include "product/prn_pipe.h"
#include "spool.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;
constexpr int kExitFailed = 3;
// Told apart: whoever prints can wait for the program and try again.
constexpr int kExitNotRunning = 4;

int Usage()
{
    std::fputs("usage: FAXPRINT.EXE [--spool DIR] [--pages N] FILE.txt\n"
               "       FAXPRINT.EXE [--spool DIR] PAGE.tif|PAGE.pbm ...\n"
               "       FAXPRINT.EXE --raw CODE [PATH]\n",
               stderr);
    return kExitUsage;
}

int Fail(const std::string& what)
{
    std::fprintf(stderr, "FAXPRINT: %s\n", what.c_str());
    return what == kNotRunning ? kExitNotRunning : kExitFailed;
}

bool ParseNumber(const wchar_t* text, unsigned long long limit, unsigned long long& value)
{
    wchar_t* end = nullptr;
    errno = 0;
    value = std::wcstoull(text, &end, 0);
    return *text != L'\0' && *text != L'-' && *end == L'\0' && errno == 0 && value <= limit;
}

std::string FullPath(const std::string& path)
{
    char full[MAX_PATH + 1] = {};
    DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    if (length == 0 || length > MAX_PATH)
        throw std::runtime_error("bad path: " + path);
    return full;
}

bool EndsWith(const std::string& text, const char* tail)
{
    std::size_t n = std::strlen(tail);
    if (text.size() < n)
        return false;
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, text.c_str() + text.size() - n, int(n),
                          tail, int(n)) == CSTR_EQUAL;
}

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

int RawMode(int argc, wchar_t** argv)
{
    if (argc < 3 || argc > 4)
        return Usage();
    unsigned long long code = 0;
    if (!ParseNumber(argv[2], 0xFFFFFFFFull, code)) {
        std::fprintf(stderr, "FAXPRINT: not a notification code: %ls\n", argv[2]);
        return kExitUsage;
    }
    PipeRecord record{static_cast<std::uint32_t>(code), argc == 4 ? argv[3] : L""};
    std::string failure = SendRecords({record});
    return failure.empty() ? kExitOk : Fail(failure);
}

int PrintMode(int argc, wchar_t** argv)
{
    std::string spoolDir = ModuleDirectory() + "SPOOL\\";
    unsigned long long pageCount = 0;
    std::vector<std::string> inputs;
    for (int i = 1; i < argc; ++i) {
        std::wstring option = argv[i];
        if (option == L"--spool" && i + 1 < argc) {
            spoolDir = ToAnsi(argv[++i]).text;
        } else if (option == L"--pages" && i + 1 < argc) {
            if (!ParseNumber(argv[++i], 10000, pageCount) || pageCount == 0)
                return Usage();
        } else if (option.rfind(L"--", 0) == 0) {
            return Usage();
        } else {
            inputs.push_back(ToAnsi(argv[i]).text);
        }
    }
    if (inputs.empty())
        return Usage();
    bool text = inputs.size() == 1 && EndsWith(inputs[0], ".txt");
    if (!text && pageCount != 0)
        return Usage();

    // Nothing is spooled for a program that is not there to take it.
    if (!WaitNamedPipeW(kPrnPipeName, 0) && GetLastError() == ERROR_FILE_NOT_FOUND)
        return Fail(kNotRunning);

    SpooledJob job;
    try {
        // Full names: the program reads them from another directory.
        spoolDir = FullPath(spoolDir);
        if (spoolDir.back() != '\\')
            spoolDir += '\\';
        if (text) {
            job = SpoolRenderedPages(
                spoolDir, RenderTextPages(ReadWholeFile(inputs[0]), static_cast<int>(pageCount)));
        } else {
            for (std::string& input : inputs)
                input = FullPath(input);
            job = SpoolPageFiles(spoolDir, inputs);
        }
    } catch (const std::exception& error) {
        return Fail(error.what());
    }

    std::string failure = SendRecords({{PMT_JOB_FILE, ToWide(job.jobIni)},
                                       {PMT_OUTPUT_FILE, ToWide(job.pageFiles.front())},
                                       {PMT_END_DOC, L""}});
    if (!failure.empty()) {
        RemoveSpooledJob(job);
        return Fail(failure);
    }
    std::printf("%s: %zu page(s)\n", job.jobIni.c_str(), job.pageFiles.size());
    return kExitOk;
}

}  // namespace

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv)
        return Fail("cannot read the command line");
    int result = argc < 2                              ? Usage()
                 : std::wcscmp(argv[1], L"--raw") == 0 ? RawMode(argc, argv)
                                                       : PrintMode(argc, argv);
    LocalFree(argv);
    return result;
}
