#pragma once
// Lays out one page for a file: its strip data, then its directory.
#include <cstdint>
#include <optional>
#include <vector>

#include "tiff/byte_order.h"
#include "tiff/page_info.h"

namespace faxtiff {

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

// The page's strips as they are, then its directory, for file offset `offset`, with a
// PageNumber tag when a number is given. The strips must be in FillOrder 1 (CodePage
// and RecodePage give them so). Keeps size, resolution, photometric interpretation and
// orientation. Throws TiffError when the file would outgrow the 4 GiB a TIFF can
// address, or the page codes to fewer bytes than the engine reads back (see CheckCodedSize).
PageBlock BuildPageBlock(const CodedPage& page, ByteOrder order, std::uint64_t offset,
                         std::optional<PageNumber> number);

}  // namespace faxtiff
