#include "pipe_test_client.h"

#include <stdexcept>

#include "product/prn_pipe.h"

std::string Header(std::uint32_t code, std::uint32_t units)
{
    PrnPipeRecordHeader header{code, units};
    return std::string(reinterpret_cast<const char*>(&header), sizeof header);
}

std::string Record(std::uint32_t code, const std::wstring& path)
{
    return Header(code, static_cast<std::uint32_t>(path.size())) +
           std::string(reinterpret_cast<const char*>(path.data()), path.size() * sizeof(wchar_t));
}

PipeClient::PipeClient(DWORD busyWaitMs)
{
    written_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!written_)
        throw std::runtime_error("CreateEvent failed");
    ULONGLONG deadline = GetTickCount64() + busyWaitMs;
    for (;;) {
        pipe_ = CreateFileW(kPrnPipeName, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OVERLAPPED, nullptr);
        ULONGLONG now = GetTickCount64();
        if (pipe_ != INVALID_HANDLE_VALUE || GetLastError() != ERROR_PIPE_BUSY || now >= deadline)
            return;
        if (!WaitNamedPipeW(kPrnPipeName, static_cast<DWORD>(deadline - now)))
            return;
    }
}

PipeClient::~PipeClient()
{
    if (Connected())
        CloseHandle(pipe_);
    CloseHandle(written_);
}

DWORD PipeClient::Write(const std::string& bytes, DWORD timeoutMs)
{
    OVERLAPPED overlapped{};
    overlapped.hEvent = written_;
    DWORD done = 0;
    if (!WriteFile(pipe_, bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, &overlapped) &&
        GetLastError() != ERROR_IO_PENDING)
        return GetLastError();
    bool timedOut = WaitForSingleObject(written_, timeoutMs) != WAIT_OBJECT_0;
    if (timedOut)
        CancelIoEx(pipe_, &overlapped);
    if (!GetOverlappedResult(pipe_, &overlapped, &done, TRUE))
        return timedOut ? ERROR_TIMEOUT : GetLastError();
    return done == bytes.size() ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
}
