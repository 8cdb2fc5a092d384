#include "tiff/page_decoding.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <span>
#include <string>

#include "tiff/fax_decoder.h"
#include "tiff/packbits.h"
#include "tiff/tiff_error.h"

namespace faxtiff {
namespace {

constexpr std::array<std::uint8_t, 256> kReversedBits = [] {
    std::array<std::uint8_t, 256> table{};
    for (int i = 0; i < 256; ++i) {
        int r = 0;
        for (int b = 0; b < 8; ++b)
            if (i & (1 << b))
                r |= 0x80 >> b;
        table[i] = static_cast<std::uint8_t>(r);
    }
    return table;
}();

// Copies rows of rowBytes each into the bitmap, clearing the bits after the width.
void CopyRows(const std::uint8_t* data, PageBitmap& bitmap, std::uint32_t firstRow,
              std::uint32_t rows)
{
    std::size_t rowBytes = bitmap.RowBytes();
    std::uint8_t lastMask = static_cast<std::uint8_t>(0xFF << ((8 - bitmap.Width() % 8) % 8));
    for (std::uint32_t r = 0; r < rows; ++r) {
        std::uint8_t* row = bitmap.Row(firstRow + r);
        std::memcpy(row, data + r * rowBytes, rowBytes);
        row[rowBytes - 1] &= lastMask;
    }
}

// Each strip's data in most-significant-bit-first order, with the rows it holds.
using StripVisitor = std::function<void(std::span<const std::uint8_t> data, std::uint32_t firstRow,
                                        std::uint32_t rows)>;

// Calls visit for each strip in order; a TiffError it throws gets the strip's number.
void ForEachStrip(const PageInfo& info, const std::vector<std::vector<std::uint8_t>>& strips,
                  const StripVisitor& visit)
{
    std::vector<std::uint8_t> reversed;
    for (std::size_t s = 0; s < strips.size(); ++s) {
        std::uint32_t firstRow = static_cast<std::uint32_t>(s * info.rowsPerStrip);
        std::uint32_t rows = std::min(info.rowsPerStrip, info.length - firstRow);
        std::span<const std::uint8_t> data = strips[s];
        if (info.fillOrder == 2) {
            reversed.resize(data.size());
            for (std::size_t i = 0; i < data.size(); ++i)
                reversed[i] = kReversedBits[data[i]];
            data = reversed;
        }
        try {
            visit(data, firstRow, rows);
        } catch (const TiffError& e) {
            throw TiffError("strip " + std::to_string(s + 1) + ": " + e.what());
        }
    }
}

}  // namespace

std::optional<fax::FaxScheme> FaxSchemeOf(const PageInfo& info)
{
    switch (info.compression) {
    case 2:
        return fax::FaxScheme::ModifiedHuffman;
    case 3:
        return info.t4Options & 1 ? fax::FaxScheme::Group3TwoD : fax::FaxScheme::Group3OneD;
    case 4:
        return fax::FaxScheme::Group4;
    }
    return std::nullopt;
}

void DecodeFaxRows(const PageInfo& info, const std::vector<std::vector<std::uint8_t>>& strips,
                   const fax::RowSink& sink)
{
    fax::FaxDecoder decoder(*FaxSchemeOf(info), static_cast<int>(info.width));
    ForEachStrip(info, strips,
                 [&](std::span<const std::uint8_t> data, std::uint32_t firstRow,
                     std::uint32_t rows) { decoder.DecodeStrip(data, firstRow, rows, sink); });
}

PageBitmap DecodePage(const PageInfo& info, const std::vector<std::vector<std::uint8_t>>& strips)
{
    PageBitmap bitmap(info.width, info.length);
    std::optional<fax::FaxScheme> scheme = FaxSchemeOf(info);
    std::optional<fax::FaxDecoder> decoder;
    if (scheme)
        decoder.emplace(*scheme, static_cast<int>(info.width));
    std::vector<std::uint8_t> unpacked;
    ForEachStrip(
        info, strips,
        [&](std::span<const std::uint8_t> data, std::uint32_t firstRow, std::uint32_t rows) {
            std::size_t needed = rows * bitmap.RowBytes();
            if (decoder) {
                decoder->DecodeStrip(data, bitmap, firstRow, rows);
            } else if (info.compression == 32773) {
                unpacked.resize(needed);
                UnpackBits(data, unpacked);
                CopyRows(unpacked.data(), bitmap, firstRow, rows);
            } else {
                if (data.size() < needed)
                    throw TiffError("too few bytes for its rows");
                CopyRows(data.data(), bitmap, firstRow, rows);
            }
        });
    return bitmap;
}

}  // namespace faxtiff
