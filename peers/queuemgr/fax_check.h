#pragma once
#include <cstdint>
#include <string>

struct FaxCheck {
    int pages = 0;
    std::uint64_t bytes = 0;
    std::string error;  // empty for a valid fax
};

// Reads every page of the file with the fax TIFF engine.
FaxCheck CheckFax(const std::string& path);
