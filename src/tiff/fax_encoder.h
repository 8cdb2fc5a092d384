#pragma once
// Encodes a page bitmap as one CCITT strip.
#include <cstdint>
#include <vector>

#include "tiff/fax_scheme.h"
#include "tiff/page_bitmap.h"

namespace faxtiff::fax {

// Group 3 2D codes every K-th row 1D, so a damaged row spoils at most K rows.
inline constexpr int kGroup3TwoDK = 4;

// Replaces out with the coded rows. Group 3 puts an EOL before every row, padded so
// that it ends on a byte boundary (T4Options bit 2); Group 4 ends with EOFB.
void EncodeFax(const PageBitmap& bitmap, FaxScheme scheme, std::vector<std::uint8_t>& out);

}  // namespace faxtiff::fax
