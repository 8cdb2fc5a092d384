// The fax printer driver's stand-in. For now one mode:
//   FAXPRINT.EXE --raw CODE [PATH]   sends one record of any code and path
#include <windows.h>
#include <shellapi.h>

#include <cerrno>
#include <cstdio>
#include <cwchar>
#include <string>

#include "pipe_client.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;
constexpr int kExitFailed = 3;

int Usage()
{
    std::fputs("usage: FAXPRINT.EXE --raw CODE [PATH]\n", stderr);
    return kExitUsage;
}

bool ParseCode(const wchar_t* text, std::uint32_t& code)
{
    wchar_t* end = nullptr;
    errno = 0;
    unsigned long long value = std::wcstoull(text, &end, 0);
    if (*text == L'\0' || *text == L'-' || *end != L'\0' || errno != 0 || value > 0xFFFFFFFFull)
        return false;
    code = static_cast<std::uint32_t>(value);
    return true;
}

int RawMode(int argc, wchar_t** argv)
{
    if (argc < 3 || argc > 4)
        return Usage();
    PipeRecord record{};
    if (!ParseCode(argv[2], record.code)) {
        std::fprintf(stderr, "FAXPRINT: not a notification code: %ls\n", argv[2]);
        return kExitUsage;
    }
    if (argc == 4)
        record.path = argv[3];
    std::string failure = SendRecords({record});
    if (!failure.empty()) {
        std::fprintf(stderr, "FAXPRINT: %s\n", failure.c_str());
        return kExitFailed;
    }
    return kExitOk;
}

}  // namespace

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) {
        std::fputs("FAXPRINT: cannot read the command line\n", stderr);
        return kExitFailed;
    }
    int result = argc >= 2 && std::wcscmp(argv[1], L"--raw") == 0 ? RawMode(argc, argv) : Usage();
    LocalFree(argv);
    return result;
}
