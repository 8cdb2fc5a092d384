#pragma once
// Decodes the CCITT strips of a page into its bitmap.
#include <cstdint>
#include <span>
#include <vector>

#include "tiff/fax_scheme.h"
#include "tiff/page_bitmap.h"

namespace faxtiff::fax {

class FaxDecoder {
public:
    FaxDecoder(FaxScheme scheme, int width);

    // Decodes one strip (MSB-first bit order) into `rows` bitmap rows from firstRow,
    // whose bits are 0. Every strip is coded on its own. Throws TiffError naming the
    // row (counted from 1) for bad code words, rows that do not add up to the width,
    // and data that ends too soon. Bits after the last row are ignored.
    void DecodeStrip(std::span<const std::uint8_t> data, PageBitmap& bitmap, std::uint32_t firstRow,
                     std::uint32_t rows);

private:
    FaxScheme scheme_;
    int width_;
    std::vector<std::int32_t> reference_;
    std::vector<std::int32_t> coding_;
};

}  // namespace faxtiff::fax
