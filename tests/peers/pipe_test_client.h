#pragma once
// A printer-pipe client as the tests drive it: connects, writes bytes, closes.
#include <windows.h>

#include <cstdint>
#include <string>

// The wire bytes of one record, and of a header that announces units path units.
std::string Record(std::uint32_t code, const std::wstring& path);
std::string Header(std::uint32_t code, std::uint32_t units);

class PipeClient {
public:
    // Waits up to busyWaitMs for a free instance of the pipe, as the printer does.
    explicit PipeClient(DWORD busyWaitMs = 10000);
    ~PipeClient();
    PipeClient(const PipeClient&) = delete;
    PipeClient& operator=(const PipeClient&) = delete;

    bool Connected() const { return pipe_ != INVALID_HANDLE_VALUE; }
    // ERROR_SUCCESS once every byte is in the pipe; ERROR_TIMEOUT when they were not
    // taken within timeoutMs; else why the write failed.
    DWORD Write(const std::string& bytes, DWORD timeoutMs = 10000);

private:
    HANDLE pipe_ = INVALID_HANDLE_VALUE;
    HANDLE written_ = nullptr;
};
