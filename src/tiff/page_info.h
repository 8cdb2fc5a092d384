#pragma once
// What a page's directory says about it.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace faxtiff {

struct Rational {
    std::uint32_t numerator = 0;
    std::uint32_t denominator = 1;
    bool operator==(const Rational&) const = default;
};

struct Resolution {
    Rational x;
    Rational y;
    std::uint16_t unit = 2;  // 1 no unit, 2 inch, 3 centimetre
    bool operator==(const Resolution&) const = default;
};

// TIFF tag values, with TIFF's defaults where the tag is missing.
struct PageInfo {
    std::uint32_t width = 0;
    std::uint32_t length = 0;
    std::uint16_t compression = 1;  // 1 none, 2 CCITT MH, 3 T.4, 4 T.6, 32773 PackBits
    std::uint32_t t4Options = 0;
    std::uint32_t t6Options = 0;
    std::uint16_t fillOrder = 1;    // 1 most significant bit first, 2 least
    std::uint16_t photometric = 0;  // 0 WhiteIsZero, 1 BlackIsZero
    std::uint16_t orientation = 1;
    std::optional<Resolution> resolution;  // when both XResolution and YResolution are there
    std::uint32_t rowsPerStrip = 0;
    std::uint32_t stripCount = 0;
    std::uint64_t compressedBytes = 0;  // all strips together
    bool operator==(const PageInfo&) const = default;
};

// A page as a file stores it: its directory's facts and its strips, coded as those say.
struct CodedPage {
    PageInfo info;
    std::vector<std::vector<std::uint8_t>> strips;
    bool operator==(const CodedPage&) const = default;
};

// "CCITT Group 3 2D", "PackBits", ... for the page's coding.
std::string CompressionDescription(const PageInfo& info);

// The name of any TIFF compression value ("LZW", "JPEG", ...), for messages.
std::string CompressionName(std::uint16_t compression);

}  // namespace faxtiff
