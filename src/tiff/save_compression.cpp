#include "tiff/save_compression.h"

#include <string>

#include "tiff/tiff_error.h"

namespace faxtiff {

TiffCoding TiffCodingOf(SaveCompression compression)
{
    switch (compression) {
    case SaveCompression::None:
        return {1, 0};
    case SaveCompression::ModifiedHuffman:
        return {2, 0};
    case SaveCompression::Group3OneD:
        return {3, 4};
    case SaveCompression::Group4:
        return {4, 0};
    case SaveCompression::Group3TwoD:
        return {3, 5};
    }
    return {1, 0};
}

std::optional<fax::FaxScheme> FaxSchemeOf(SaveCompression compression)
{
    switch (compression) {
    case SaveCompression::None:
        return std::nullopt;
    case SaveCompression::ModifiedHuffman:
        return fax::FaxScheme::ModifiedHuffman;
    case SaveCompression::Group3OneD:
        return fax::FaxScheme::Group3OneD;
    case SaveCompression::Group4:
        return fax::FaxScheme::Group4;
    case SaveCompression::Group3TwoD:
        return fax::FaxScheme::Group3TwoD;
    }
    return std::nullopt;
}

SaveCompression SaveCompressionFromCode(std::uint16_t code)
{
    switch (code) {
    case 1:
        return SaveCompression::None;
    case 2:
        return SaveCompression::ModifiedHuffman;
    case 3:
        return SaveCompression::Group3OneD;
    case 4:
        return SaveCompression::Group4;
    case 5:
        return SaveCompression::Group3TwoD;
    }
    throw TiffError("unknown compression code " + std::to_string(code) +
                    " (1 none, 2 modified Huffman, 3 Group 3 1D, 4 Group 4, 5 Group 3 2D)");
}

const char* SaveCompressionName(SaveCompression compression)
{
    switch (compression) {
    case SaveCompression::None:
        return "uncompressed";
    case SaveCompression::ModifiedHuffman:
        return "CCITT modified Huffman";
    case SaveCompression::Group3OneD:
        return "CCITT Group 3 1D";
    case SaveCompression::Group4:
        return "CCITT Group 4";
    case SaveCompression::Group3TwoD:
        return "CCITT Group 3 2D";
    }
    return "unknown";
}

}  // namespace faxtiff
