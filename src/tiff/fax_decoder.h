#pragma once
// Decodes the CCITT strips of a page, row by row as changing elements or into its bitmap.
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "tiff/fax_scheme.h"
#include "tiff/page_bitmap.h"

namespace faxtiff::fax {

// Takes one decoded row: its changes (see row_changes.h), valid only during the call.
using RowSink = std::function<void(std::span<const std::int32_t> changes)>;

class FaxDecoder {
public:
    FaxDecoder(FaxScheme scheme, int width);

    // Decodes one strip (MSB-first bit order) of `rows` rows, giving each to sink in
    // order; firstRow numbers them for messages. Every strip is coded on its own.
    // Throws TiffError naming the row (counted from 1) for bad code words, rows that do
    // not add up to the width, and data that ends too soon. Bits after the last row are
    // ignored.
    void DecodeStrip(std::span<const std::uint8_t> data, std::uint32_t firstRow, std::uint32_t rows,
                     const RowSink& sink);

    // The same into `rows` bitmap rows from firstRow.
    void DecodeStrip(std::span<const std::uint8_t> data, PageBitmap& bitmap, std::uint32_t firstRow,
                     std::uint32_t rows);

private:
    FaxScheme scheme_;
    int width_;
    std::vector<std::int32_t> reference_;
    std::vector<std::int32_t> coding_;
};

}  // namespace faxtiff::fax
