#include "tiff/page_bitmap.h"

#include <string>

#include "tiff/tiff_error.h"

namespace faxtiff {

namespace {

std::size_t StrideFor(std::uint32_t width)
{
    return (static_cast<std::size_t>(width) + 63) / 64 * 8;
}

}  // namespace

void PageBitmap::CheckSize(std::uint32_t width, std::uint32_t length)
{
    if (width == 0 || length == 0)
        throw TiffError("page has no pixels (" + std::to_string(width) + " x " +
                        std::to_string(length) + ")");
    if (width > kMaxPageWidth || length > kMaxPageLength ||
        StrideFor(width) * length > kMaxBitmapBytes)
        throw TiffError("page of " + std::to_string(width) + " x " + std::to_string(length) +
                        " pixels is larger than the engine takes (" +
                        std::to_string(kMaxPageWidth) + " wide, " + std::to_string(kMaxPageLength) +
                        " long, " + std::to_string(kMaxBitmapBytes >> 20) + " MiB)");
}

void CheckCodedSize(std::uint32_t width, std::uint32_t length, std::uint64_t codedBytes)
{
    if (std::uint64_t{width} * length > kMaxPixelsPerCodedByte * codedBytes)
        throw TiffError("page of " + std::to_string(width) + " x " + std::to_string(length) +
                        " pixels in " + std::to_string(codedBytes) + " coded bytes: more than " +
                        std::to_string(kMaxPixelsPerCodedByte) +
                        " pixels a byte, which no real page comes to");
}

PageBitmap::PageBitmap(std::uint32_t width, std::uint32_t length)
{
    CheckSize(width, length);
    std::size_t stride = StrideFor(width);
    width_ = width;
    length_ = length;
    stride_ = stride;
    bits_.assign(stride * length, 0);
}

}  // namespace faxtiff
