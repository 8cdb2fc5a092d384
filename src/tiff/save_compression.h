#pragma once
// Codes of the imaging control's Compression property: how a saved page is coded.
// They are the control's own codes, not TIFF Compression tag values; 1 to 4 happen
// to match the tag, 5 does not (TIFF's 5 is LZW, which the engine never writes).
//
//   1  uncompressed
//   2  CCITT modified Huffman (TIFF compression 2), rows byte-aligned, no EOLs
//   3  CCITT Group 3 1D (TIFF compression 3, T4Options 4: EOLs byte-aligned)
//   4  CCITT Group 4, T.6 (TIFF compression 4)
//   5  CCITT Group 3 2D (TIFF compression 3, T4Options 5: K = 4, EOLs byte-aligned)
#include <cstdint>
#include <optional>

#include "tiff/fax_scheme.h"

namespace faxtiff {

enum class SaveCompression : std::uint16_t {
    None = 1,
    ModifiedHuffman = 2,
    Group3OneD = 3,
    Group4 = 4,
    Group3TwoD = 5,
};

// The TIFF Compression and T4Options tags of a page saved as one of these.
struct TiffCoding {
    std::uint16_t compression;
    std::uint32_t t4Options;
};
TiffCoding TiffCodingOf(SaveCompression compression);

// The CCITT coding; nullopt for None.
std::optional<fax::FaxScheme> FaxSchemeOf(SaveCompression compression);

// Throws TiffError for a code not in the list above.
SaveCompression SaveCompressionFromCode(std::uint16_t code);

// "CCITT Group 4" and so on, for messages and listings.
const char* SaveCompressionName(SaveCompression compression);

}  // namespace faxtiff
