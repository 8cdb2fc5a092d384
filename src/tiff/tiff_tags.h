#pragma once
// TIFF 6.0 tag numbers and field types that the engine reads and writes.
#include <cstdint>

namespace faxtiff {

enum TiffTag : std::uint16_t {
    kNewSubfileType = 254,
    kImageWidth = 256,
    kImageLength = 257,
    kBitsPerSample = 258,
    kCompression = 259,
    kPhotometric = 262,
    kFillOrder = 266,
    kStripOffsets = 273,
    kOrientation = 274,
    kSamplesPerPixel = 277,
    kRowsPerStrip = 278,
    kStripByteCounts = 279,
    kXResolution = 282,
    kYResolution = 283,
    kPlanarConfiguration = 284,
    kT4Options = 292,
    kT6Options = 293,
    kResolutionUnit = 296,
    kPageNumber = 297,
    kTileWidth = 322,
    kTileLength = 323,
    kTileOffsets = 324,
    kTileByteCounts = 325,
};

enum TiffType : std::uint16_t { kByte = 1, kShort = 3, kLong = 4, kRational = 5 };

}  // namespace faxtiff
