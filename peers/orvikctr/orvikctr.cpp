// A worker thread inside the library serves the printer pipe, one client at a time,
// and turns each record into a notification block posted to the registered window.
#define ORVIKCTR_BUILD
#include "orvikctr.h"

#include <atomic>
#include <cstring>
#include <vector>

#include "prn_pipe_wire.h"

namespace {

std::atomic<HWND> TargetWindow{nullptr};
std::atomic<UINT> TargetMessage{0};
HANDLE Pipe = INVALID_HANDLE_VALUE;
HANDLE StopEvent = nullptr;
HANDLE Worker = nullptr;

enum class Io { Done, Closed, Stopped };

// Waits for an overlapped operation or the stop request, whichever comes first.
Io Finish(OVERLAPPED& overlapped, BOOL started, DWORD* transferred)
{
    if (!started) {
        DWORD error = GetLastError();
        if (error == ERROR_PIPE_CONNECTED)
            return Io::Done;
        if (error != ERROR_IO_PENDING)
            return Io::Closed;
        HANDLE events[2] = {overlapped.hEvent, StopEvent};
        if (WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0) {
            CancelIo(Pipe);
            GetOverlappedResult(Pipe, &overlapped, transferred, TRUE);
            return Io::Stopped;
        }
    }
    return GetOverlappedResult(Pipe, &overlapped, transferred, FALSE) ? Io::Done : Io::Closed;
}

// Reads exactly size bytes; Closed when the client ends or breaks off first.
Io ReadExactly(OVERLAPPED& overlapped, void* buffer, DWORD size)
{
    auto* bytes = static_cast<unsigned char*>(buffer);
    while (size > 0) {
        DWORD got = 0;
        Io io = Finish(overlapped, ReadFile(Pipe, bytes, size, nullptr, &overlapped), &got);
        if (io != Io::Done)
            return io;
        if (got == 0)
            return Io::Closed;
        bytes += got;
        size -= got;
    }
    return Io::Done;
}

void PostNotice(std::uint32_t code, const std::vector<wchar_t>& path)
{
    SIZE_T size = kNoticePathOffset + (path.size() + 1) * sizeof(wchar_t);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (!block)
        return;
    auto* data = static_cast<unsigned char*>(GlobalLock(block));
    if (!data) {
        GlobalFree(block);
        return;
    }
    std::memcpy(data, &code, sizeof code);
    if (!path.empty())
        std::memcpy(data + kNoticePathOffset, path.data(), path.size() * sizeof(wchar_t));
    GlobalUnlock(block);
    if (!PostMessageA(TargetWindow.load(), TargetMessage.load(),
                      reinterpret_cast<WPARAM>(block), 0))
        GlobalFree(block);
}

// Serves one connected client until it closes; false when asked to stop.
bool ServeClient(OVERLAPPED& overlapped)
{
    std::vector<wchar_t> path;
    for (;;) {
        PrnPipeRecordHeader header;
        Io io = ReadExactly(overlapped, &header, sizeof header);
        if (io != Io::Done)
            return io != Io::Stopped;
        if (header.units > kMaxPathUnits)
            return true;  // a bad record ends the connection
        path.resize(header.units);
        io = ReadExactly(overlapped, path.data(), header.units * sizeof(wchar_t));
        if (io != Io::Done)
            return io != Io::Stopped;
        PostNotice(header.code, path);
    }
}

DWORD WINAPI Serve(void*)
{
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!overlapped.hEvent)
        return 1;
    for (;;) {
        DWORD unused = 0;
        Io io = Finish(overlapped, ConnectNamedPipe(Pipe, &overlapped), &unused);
        if (io == Io::Stopped)
            break;
        bool goOn = io != Io::Done || ServeClient(overlapped);
        DisconnectNamedPipe(Pipe);
        if (!goOn || WaitForSingleObject(StopEvent, 0) == WAIT_OBJECT_0)
            break;
    }
    CloseHandle(overlapped.hEvent);
    return 0;
}

}  // namespace

BOOL WINAPI WaitForPrnPipe(HWND window, UINT message)
{
    TargetWindow = window;
    TargetMessage = message;
    if (Worker)
        return TRUE;

    // FIRST_PIPE_INSTANCE: while one process serves the pipe, no other takes it over.
    Pipe = CreateNamedPipeW(kPrnPipeName,
                            PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED |
                                FILE_FLAG_FIRST_PIPE_INSTANCE,
                            PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT |
                                PIPE_REJECT_REMOTE_CLIENTS,
                            1, 0, 64 * 1024, 0, nullptr);
    if (Pipe == INVALID_HANDLE_VALUE)
        return FALSE;
    StopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (StopEvent)
        Worker = CreateThread(nullptr, 0, Serve, nullptr, 0, nullptr);
    if (!Worker) {
        if (StopEvent)
            CloseHandle(StopEvent);
        CloseHandle(Pipe);
        StopEvent = nullptr;
        Pipe = INVALID_HANDLE_VALUE;
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI EndWaitPrnPipe()
{
    if (!Worker)
        return FALSE;
    SetEvent(StopEvent);
    WaitForSingleObject(Worker, INFINITE);
    CloseHandle(Worker);
    CloseHandle(StopEvent);
    CloseHandle(Pipe);
    Worker = StopEvent = nullptr;
    Pipe = INVALID_HANDLE_VALUE;
    TargetWindow = nullptr;
    return TRUE;
}
