#include "tiff/page_writer.h"

#include <cstring>

#include "tiff/fax_encoder.h"
#include "tiff/ifd_writer.h"
#include "tiff/page_bitmap.h"
#include "tiff/tiff_error.h"
#include "tiff/tiff_tags.h"

namespace faxtiff {
namespace {

constexpr std::uint64_t kMaxFileSize = 0xFFFFFFFF;

struct Coding {
    std::uint16_t compression;
    std::uint32_t t4Options;
};

Coding CodingOf(SaveCompression compression) {
    switch (compression) {
    case SaveCompression::None: return {1, 0};
    case SaveCompression::ModifiedHuffman: return {2, 0};
    case SaveCompression::Group3OneD: return {3, 4};
    case SaveCompression::Group4: return {4, 0};
    case SaveCompression::Group3TwoD: return {3, 5};
    }
    return {1, 0};
}

fax::FaxScheme SchemeOf(SaveCompression compression) {
    switch (compression) {
    case SaveCompression::ModifiedHuffman: return fax::FaxScheme::ModifiedHuffman;
    case SaveCompression::Group3OneD: return fax::FaxScheme::Group3OneD;
    case SaveCompression::Group3TwoD: return fax::FaxScheme::Group3TwoD;
    default: return fax::FaxScheme::Group4;
    }
}

void EncodeUncompressed(const PageBitmap& bitmap, std::vector<std::uint8_t>& out) {
    std::size_t rowBytes = bitmap.RowBytes();
    out.resize(rowBytes * bitmap.Length());
    for (std::uint32_t y = 0; y < bitmap.Length(); ++y) std::memcpy(out.data() + y * rowBytes, bitmap.Row(y), rowBytes);
}

}  // namespace

bool CanCopyStrips(const Page& page, SaveCompression compression) {
    const PageInfo& info = page.Info();
    Coding target = CodingOf(compression);
    if (page.Strips().empty() || info.fillOrder != 1 || info.compression != target.compression) return false;
    switch (info.compression) {
    case 3: return (info.t4Options & 3) == (target.t4Options & 3);
    case 4: return info.t6Options == 0;
    default: return true;
    }
}

PageBlock BuildPageBlock(const Page& page, SaveCompression compression, ByteOrder order, std::uint64_t offset,
                         std::optional<PageNumber> number) {
    const PageInfo& info = page.Info();
    Coding coding = CodingOf(compression);
    PageBlock block;
    std::vector<std::uint32_t> stripOffsets, stripByteCounts;
    std::uint32_t rowsPerStrip = info.length;
    if (CanCopyStrips(page, compression)) {
        coding.t4Options = info.t4Options;
        rowsPerStrip = info.rowsPerStrip;
        std::size_t total = 0;
        for (const auto& strip : page.Strips()) total += strip.size();
        block.bytes.reserve(total + 512);
        for (const auto& strip : page.Strips()) {
            stripOffsets.push_back(static_cast<std::uint32_t>(offset + block.bytes.size()));
            stripByteCounts.push_back(static_cast<std::uint32_t>(strip.size()));
            block.bytes.insert(block.bytes.end(), strip.begin(), strip.end());
        }
    } else {
        if (compression == SaveCompression::None)
            EncodeUncompressed(page.Bitmap(), block.bytes);
        else
            fax::EncodeFax(page.Bitmap(), SchemeOf(compression), block.bytes);
        stripOffsets.push_back(static_cast<std::uint32_t>(offset));
        stripByteCounts.push_back(static_cast<std::uint32_t>(block.bytes.size()));
    }
    std::uint64_t coded = 0;
    for (std::uint32_t count : stripByteCounts) coded += count;
    CheckCodedSize(info.width, info.length, coded);
    IfdWriter ifd(order);
    ifd.Longs(kNewSubfileType, {2});  // one page of a multi-page document
    ifd.Longs(kImageWidth, {info.width});
    ifd.Longs(kImageLength, {info.length});
    ifd.Shorts(kBitsPerSample, {1});
    ifd.Shorts(kCompression, {coding.compression});
    ifd.Shorts(kPhotometric, {info.photometric});
    ifd.Shorts(kFillOrder, {1});
    ifd.Longs(kStripOffsets, stripOffsets);
    if (info.orientation != 1) ifd.Shorts(kOrientation, {info.orientation});
    ifd.Shorts(kSamplesPerPixel, {1});
    ifd.Longs(kRowsPerStrip, {rowsPerStrip});
    ifd.Longs(kStripByteCounts, stripByteCounts);
    if (info.resolution) {
        ifd.RationalValue(kXResolution, info.resolution->x);
        ifd.RationalValue(kYResolution, info.resolution->y);
        ifd.Shorts(kResolutionUnit, {info.resolution->unit});
    }
    ifd.Shorts(kPlanarConfiguration, {1});
    if (coding.compression == 3) ifd.Longs(kT4Options, {coding.t4Options});
    if (coding.compression == 4) ifd.Longs(kT6Options, {0});
    if (number) ifd.Shorts(kPageNumber, {number->index, number->total});
    std::uint64_t ifdOffset = ifd.AppendTo(block.bytes, offset);
    // Offsets above were cut to 32 bits; past this limit they would be wrong.
    if (offset + block.bytes.size() > kMaxFileSize)
        throw TiffError("the file would grow past 4 GiB, the most a TIFF file can address");
    block.ifdOffset = static_cast<std::uint32_t>(ifdOffset);
    block.nextOffsetPosition = static_cast<std::uint32_t>(ifdOffset + 2 + 12 * std::uint64_t{ifd.EntryCount()});
    return block;
}

}  // namespace faxtiff
