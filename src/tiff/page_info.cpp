#include "tiff/page_info.h"

namespace faxtiff {

std::string CompressionName(std::uint16_t compression)
{
    switch (compression) {
    case 1:
        return "uncompressed";
    case 2:
        return "CCITT modified Huffman";
    case 3:
        return "CCITT Group 3";
    case 4:
        return "CCITT Group 4";
    case 5:
        return "LZW";
    case 6:
        return "old-style JPEG";
    case 7:
        return "JPEG";
    case 8:
        return "Deflate";
    case 9:
        return "JBIG (T.85)";
    case 10:
        return "JBIG2 (T.43)";
    case 32766:
        return "NeXT";
    case 32771:
        return "CCITT RLEW";
    case 32773:
        return "PackBits";
    case 32809:
        return "ThunderScan";
    case 32946:
        return "Deflate";
    case 34661:
        return "JBIG";
    case 34676:
        return "SGI LogLuv";
    case 34712:
        return "JPEG 2000";
    case 34925:
        return "LZMA";
    case 50000:
        return "Zstandard";
    case 50001:
        return "WebP";
    }
    return "unknown";
}

std::string CompressionDescription(const PageInfo& info)
{
    if (info.compression == 3)
        return info.t4Options & 1 ? "CCITT Group 3 2D" : "CCITT Group 3 1D";
    return CompressionName(info.compression);
}

}  // namespace faxtiff
