#pragma once
// The printer-pipe library's contract with the program and with the printers that
// write to it. Fixed: other tools rely on it.
#include <cstddef>
#include <cstdint>

#include <windows.h>

// The library's two calls, exported by their plain names (stdcall on 32-bit Windows,
// as its vendor builds it). The program binds to them through the import library made
// from prn_pipe.def.in.
extern "C" {
// From now on, every record a client writes to the printer pipe is posted to window
// as message, with a global memory block (the receiver frees it) as wParam. A second
// call moves delivery to the new window. FALSE when the pipe could not be served
// (for example because another process serves it already).
BOOL WINAPI WaitForPrnPipe(HWND window, UINT message);
// Stops delivery and closes the pipe; returns promptly whatever clients are doing.
// Records read but not yet posted are dropped.
BOOL WINAPI EndWaitPrnPipe();
}

// Notification codes, in the block's first four bytes.
constexpr std::uint32_t PMT_JOB_FILE = 0;     // the job-description file's name
constexpr std::uint32_t PMT_OUTPUT_FILE = 1;  // the printer's output file's name
constexpr std::uint32_t PMT_END_DOC = 2;      // the document is complete

// The block posted to the registered window, global memory that the receiver frees:
// the code, 520 unused bytes, then the file name in UTF-16 with a zero terminator.
inline constexpr std::size_t kNoticePathOffset = 524;

// The wire: a client connects, writes records and closes. Record, little-endian:
// uint32 code, uint32 n (UTF-16 units that follow, at most kMaxPathUnits), then n
// UTF-16LE units without terminator.
inline constexpr wchar_t kPrnPipeName[] = L"\\\\.\\pipe\\OrvikPrnPipe";
inline constexpr std::uint32_t kMaxPathUnits = 32767;

struct PrnPipeRecordHeader {
    std::uint32_t code;
    std::uint32_t units;
};
static_assert(sizeof(PrnPipeRecordHeader) == 8);
