#pragma once
// Lays out one page for a file: its strip data, then its directory.
#include <cstdint>
#include <optional>
#include <vector>

#include "tiff/byte_order.h"
#include "tiff/page.h"
#include "tiff/save_compression.h"

namespace faxtiff {

// Whether the page's strips are already coded as `compression` writes them, so they
// can be copied as they are: same coding, same 1D/2D mode, no uncompressed mode,
// FillOrder 1. Group 3 strips keep their own EOL alignment (T4Options bit 2).
bool CanCopyStrips(const Page& page, SaveCompression compression);

struct PageNumber {
    std::uint16_t index = 0;
    std::uint16_t total = 0;  // 0: not known, as when pages are appended one by one
};

struct PageBlock {
    std::vector<std::uint8_t> bytes;
    std::uint32_t ifdOffset = 0;
    // Where the directory's next-directory offset lies in the file.
    std::uint32_t nextOffsetPosition = 0;
};

// The page coded as `compression` for file offset `offset`, with a PageNumber tag when
// a number is given. Keeps size, resolution,
// photometric interpretation and orientation. Throws TiffError when the file would
// outgrow the 4 GiB a TIFF can address, or the page codes to fewer bytes than the
// engine reads back (see CheckCodedSize).
PageBlock BuildPageBlock(const Page& page, SaveCompression compression, ByteOrder order,
                         std::uint64_t offset, std::optional<PageNumber> number);

}  // namespace faxtiff
