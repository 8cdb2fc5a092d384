// soakpipe stall MS | flood COUNT: a misbehaving printer-pipe client. stall connects,
// writes half a record header, says "connected" and keeps the pipe MS milliseconds
// before closing; flood sends COUNT records of an unknown code with long paths.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/write_all.h"

namespace {

constexpr const wchar_t* kPipe = L"\\\\.\\pipe\\OrvikPrnPipe";
constexpr std::uint32_t kUnknownCode = 99;
constexpr std::uint32_t kFloodPathUnits = 500;

HANDLE Connect()
{
    for (;;) {
        HANDLE pipe = CreateFileW(kPipe, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (pipe != INVALID_HANDLE_VALUE)
            return pipe;
        if (GetLastError() != ERROR_PIPE_BUSY || !WaitNamedPipeW(kPipe, 30000))
            return INVALID_HANDLE_VALUE;
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    unsigned long amount = std::strtoul(argv[2], nullptr, 10);
    HANDLE pipe = Connect();
    if (pipe == INVALID_HANDLE_VALUE)
        return 1;
    bool ok = true;
    if (std::strcmp(argv[1], "stall") == 0) {
        ok = WriteAll(pipe, &kUnknownCode, sizeof kUnknownCode);
        std::puts("connected");
        std::fflush(stdout);
        // The stalled client models another program hanging on the pipe for a while.
        Sleep(amount);
    } else {
        std::vector<wchar_t> path(kFloodPathUnits, L'x');
        for (unsigned long i = 0; ok && i < amount; ++i) {
            std::uint32_t header[2] = {kUnknownCode, kFloodPathUnits};
            ok = WriteAll(pipe, header, sizeof header) &&
                 WriteAll(pipe, path.data(), kFloodPathUnits * sizeof(wchar_t));
        }
        FlushFileBuffers(pipe);
    }
    CloseHandle(pipe);
    return ok ? 0 : 1;
}
