#pragma once
// The structure of a classic TIFF file: its header, the chain of page directories
// (IFDs), and the tags of one page checked against what the engine can decode.
#include <cstdint>
#include <vector>

#include "tiff/byte_order.h"
#include "tiff/byte_source.h"
#include "tiff/page_info.h"

namespace faxtiff {

struct TiffHeader {
    ByteOrder order;
    std::uint32_t firstIfd;
};

// Throws TiffError when the file is not a classic TIFF.
TiffHeader ReadHeader(const ByteSource& source);

struct IfdChain {
    std::vector<std::uint32_t> offsets;  // one directory per page, in order
    std::uint16_t lastEntryCount = 0;    // entries of the last directory
};

// Follows the next-directory offsets; throws TiffError for an empty chain, a directory
// outside the file, a loop, or strips that overlap (another page's or their own).
IfdChain WalkIfdChain(const ByteSource& source, const TiffHeader& header);

// Throws TiffError when appending a page would change an earlier one: when the last
// directory's next-directory offset is also part of something the pages use (another
// directory, a tag's value, strip or tile data), or when any of those runs past the
// end of the file, where the new page goes.
void CheckAppendable(const ByteSource& source, ByteOrder order, const IfdChain& chain);

struct PageDirectory {
    PageInfo info;
    std::vector<std::uint32_t> stripOffsets;
    std::vector<std::uint32_t> stripByteCounts;
};

// Reads and checks one page's tags. Throws TiffError saying what the engine cannot take:
// tiles, colour or grey, unknown codings, inconsistent or out-of-file strips, absurd sizes.
PageDirectory ReadPageDirectory(const ByteSource& source, ByteOrder order, std::uint32_t offset);

}  // namespace faxtiff
