#include "tiff/page_writer.h"

#include "tiff/ifd_writer.h"
#include "tiff/page_bitmap.h"
#include "tiff/tiff_error.h"
#include "tiff/tiff_tags.h"

namespace faxtiff {
namespace {

constexpr std::uint64_t kMaxFileSize = 0xFFFFFFFF;

}  // namespace

PageBlock BuildPageBlock(const CodedPage& page, ByteOrder order, std::uint64_t offset,
                         std::optional<PageNumber> number)
{
    const PageInfo& info = page.info;
    PageBlock block;
    std::vector<std::uint32_t> stripOffsets, stripByteCounts;
    std::size_t total = 0;
    for (const auto& strip : page.strips)
        total += strip.size();
    block.bytes.reserve(total + 512);
    for (const auto& strip : page.strips) {
        stripOffsets.push_back(static_cast<std::uint32_t>(offset + block.bytes.size()));
        stripByteCounts.push_back(static_cast<std::uint32_t>(strip.size()));
        block.bytes.insert(block.bytes.end(), strip.begin(), strip.end());
    }
    CheckCodedSize(info.width, info.length, total);
    IfdWriter ifd(order);
    ifd.Longs(kNewSubfileType, {2});  // one page of a multi-page document
    ifd.Longs(kImageWidth, {info.width});
    ifd.Longs(kImageLength, {info.length});
    ifd.Shorts(kBitsPerSample, {1});
    ifd.Shorts(kCompression, {info.compression});
    ifd.Shorts(kPhotometric, {info.photometric});
    ifd.Shorts(kFillOrder, {1});
    ifd.Longs(kStripOffsets, stripOffsets);
    if (info.orientation != 1)
        ifd.Shorts(kOrientation, {info.orientation});
    ifd.Shorts(kSamplesPerPixel, {1});
    ifd.Longs(kRowsPerStrip, {info.rowsPerStrip});
    ifd.Longs(kStripByteCounts, stripByteCounts);
    if (info.resolution) {
        ifd.RationalValue(kXResolution, info.resolution->x);
        ifd.RationalValue(kYResolution, info.resolution->y);
        ifd.Shorts(kResolutionUnit, {info.resolution->unit});
    }
    ifd.Shorts(kPlanarConfiguration, {1});
    if (info.compression == 3)
        ifd.Longs(kT4Options, {info.t4Options});
    if (info.compression == 4)
        ifd.Longs(kT6Options, {0});
    if (number)
        ifd.Shorts(kPageNumber, {number->index, number->total});
    std::uint64_t ifdOffset = ifd.AppendTo(block.bytes, offset);
    // Offsets above were cut to 32 bits; past this limit they would be wrong.
    if (offset + block.bytes.size() > kMaxFileSize)
        throw TiffError("the file would grow past 4 GiB, the most a TIFF file can address");
    block.ifdOffset = static_cast<std::uint32_t>(ifdOffset);
    block.nextOffsetPosition =
        static_cast<std::uint32_t>(ifdOffset + 2 + 12 * std::uint64_t{ifd.EntryCount()});
    return block;
}

}  // namespace faxtiff
