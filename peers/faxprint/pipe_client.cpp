#include "pipe_client.h"

#include <windows.h>

#include "base/write_all.h"
#include "product/prn_pipe.h"

namespace {

constexpr DWORD kBusyWaitMs = 10000;

std::string ErrorText(const char* what, DWORD error)
{
    return std::string(what) + " (error " + std::to_string(error) + ")";
}

}  // namespace

std::string SendRecords(const std::vector<PipeRecord>& records)
{
    HANDLE pipe = INVALID_HANDLE_VALUE;
    for (;;) {
        pipe = CreateFileW(kPrnPipeName, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (pipe != INVALID_HANDLE_VALUE)
            break;
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND)
            return kNotRunning;
        if (error != ERROR_PIPE_BUSY)
            return ErrorText("cannot open the printer pipe", error);
        // Every instance of the pipe is busy with another client.
        if (!WaitNamedPipeW(kPrnPipeName, kBusyWaitMs))
            return ErrorText("the printer pipe stayed busy", GetLastError());
    }

    std::string failure;
    for (const PipeRecord& record : records) {
        if (record.path.size() > kMaxPathUnits) {
            failure = "path longer than " + std::to_string(kMaxPathUnits) + " characters";
            break;
        }
        PrnPipeRecordHeader header{record.code, static_cast<std::uint32_t>(record.path.size())};
        if (!WriteAll(pipe, &header, sizeof header) ||
            !WriteAll(pipe, record.path.data(),
                      static_cast<DWORD>(record.path.size() * sizeof(wchar_t)))) {
            failure = ErrorText("writing to the printer pipe failed", GetLastError());
            break;
        }
    }
    // Returns once the program has read everything, so records of later clients
    // cannot overtake these.
    FlushFileBuffers(pipe);
    CloseHandle(pipe);
    return failure;
}
