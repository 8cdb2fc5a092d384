#pragma once
// Coding a page's strips as a save compression: from its bitmap, or straight from the
// strips a file held, copied when they already have that coding.
#include <cstddef>

#include "tiff/page.h"
#include "tiff/page_info.h"
#include "tiff/save_compression.h"

namespace faxtiff {

// Whether the page's strips are already coded as `compression` writes them, so they
// can be copied as they are: same coding, same 1D/2D mode, no uncompressed mode,
// FillOrder 1. Group 3 strips keep their own EOL alignment (T4Options bit 2).
bool CanCopyStrips(const CodedPage& page, SaveCompression compression);

// The page as `compression` codes it: its own strips when they can be copied, else its
// bitmap coded as one strip.
CodedPage CodePage(const Page& page, SaveCompression compression);

// The same for a page read with TiffFile::ReadCoded, from its strips alone: CCITT rows
// go from the decoder to the encoder as changing elements, with no bitmap of the page.
// Strips to be copied are decoded first all the same, so a page that recodes is sound,
// as one that loads is. Throws TiffError naming the strip and row that is wrong.
CodedPage RecodePage(CodedPage page, SaveCompression compression);

// Page `index` of the file read and recoded so; messages name the page.
CodedPage ReadRecoded(const TiffFile& file, std::size_t index, SaveCompression compression);

}  // namespace faxtiff
