#pragma once
// The printer pipe's wire format, fixed because other tools rely on it. A client
// connects, writes records and closes. Record, little-endian: uint32 code, uint32 n
// (UTF-16 units that follow, at most kMaxPathUnits), then n UTF-16LE units.
#include <cstdint>

inline constexpr wchar_t kPrnPipeName[] = L"\\\\.\\pipe\\OrvikPrnPipe";
inline constexpr std::uint32_t kMaxPathUnits = 32767;

struct PrnPipeRecordHeader {
    std::uint32_t code;
    std::uint32_t units;
};
static_assert(sizeof(PrnPipeRecordHeader) == 8);

// The block posted to the registered window: code, 520 unused bytes, then the path
// and a UTF-16 zero terminator.
inline constexpr std::size_t kNoticePathOffset = 524;
