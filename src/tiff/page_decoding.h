#pragma once
// Turns a page's strips, coded as its directory says, into its bitmap.
#include <cstdint>
#include <vector>

#include "tiff/page_bitmap.h"
#include "tiff/page_info.h"

namespace faxtiff {

// Throws TiffError naming the strip or row that is wrong.
PageBitmap DecodePage(const PageInfo& info, const std::vector<std::vector<std::uint8_t>>& strips);

}  // namespace faxtiff
