#pragma once
// Sends records to the printer pipe that the running program serves.
#include <cstdint>
#include <string>
#include <vector>

struct PipeRecord {
    std::uint32_t code;
    std::wstring path;
};

// Connects, writes every record in order and closes. Returns an empty text on success,
// else what went wrong.
std::string SendRecords(const std::vector<PipeRecord>& records);

// What SendRecords says when no program serves the pipe.
inline constexpr char kNotRunning[] = "the fax program is not running (no printer pipe)";
