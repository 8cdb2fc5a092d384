#include "tiff/page_coding.h"

#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "tiff/fax_encoder.h"
#include "tiff/page_decoding.h"
#include "tiff/tiff_error.h"

namespace faxtiff {
namespace {

std::vector<std::uint8_t> PackRows(const PageBitmap& bitmap)
{
    std::size_t rowBytes = bitmap.RowBytes();
    std::vector<std::uint8_t> out(rowBytes * bitmap.Length());
    for (std::uint32_t y = 0; y < bitmap.Length(); ++y)
        std::memcpy(out.data() + y * rowBytes, bitmap.Row(y), rowBytes);
    return out;
}

// The page's info for one strip of `strip`'s bytes coded as `compression`.
CodedPage OneStrip(const PageInfo& info, SaveCompression compression,
                   std::vector<std::uint8_t> strip)
{
    TiffCoding coding = TiffCodingOf(compression);
    CodedPage page{info, {}};
    page.info.compression = coding.compression;
    page.info.t4Options = coding.t4Options;
    page.info.t6Options = 0;
    page.info.fillOrder = 1;
    page.info.rowsPerStrip = info.length;
    page.info.stripCount = 1;
    page.info.compressedBytes = strip.size();
    page.strips.push_back(std::move(strip));
    return page;
}

CodedPage CodeBitmap(const PageBitmap& bitmap, const PageInfo& info, SaveCompression compression)
{
    std::vector<std::uint8_t> strip;
    if (std::optional<fax::FaxScheme> scheme = FaxSchemeOf(compression))
        fax::EncodeFax(bitmap, *scheme, strip);
    else
        strip = PackRows(bitmap);
    return OneStrip(info, compression, std::move(strip));
}

}  // namespace

bool CanCopyStrips(const CodedPage& page, SaveCompression compression)
{
    const PageInfo& info = page.info;
    TiffCoding target = TiffCodingOf(compression);
    if (page.strips.empty() || info.fillOrder != 1 || info.compression != target.compression)
        return false;
    switch (info.compression) {
    case 3:
        return (info.t4Options & 3) == (target.t4Options & 3);
    case 4:
        return info.t6Options == 0;
    default:
        return true;
    }
}

CodedPage CodePage(const Page& page, SaveCompression compression)
{
    if (CanCopyStrips(page.Coded(), compression))
        return page.Coded();
    return CodeBitmap(page.Bitmap(), page.Info(), compression);
}

CodedPage RecodePage(CodedPage page, SaveCompression compression)
{
    std::optional<fax::FaxScheme> from = FaxSchemeOf(page.info), to = FaxSchemeOf(compression);
    bool copy = CanCopyStrips(page, compression);
    if (!from || !to) {  // rows as bytes on one side: through the bitmap
        PageBitmap bitmap = DecodePage(page.info, page.strips);
        return copy ? std::move(page) : CodeBitmap(bitmap, page.info, compression);
    }
    if (copy) {
        DecodeFaxRows(page.info, page.strips, [](std::span<const std::int32_t>) {});
        return page;
    }
    std::vector<std::uint8_t> strip;
    // Coded again a page is rarely larger: one allocation, not a chain of doublings
    // that the heap gives back to the system after every page.
    strip.reserve(page.info.compressedBytes);
    fax::FaxEncoder encoder(*to, static_cast<int>(page.info.width), strip);
    DecodeFaxRows(page.info, page.strips,
                  [&](std::span<const std::int32_t> changes) { encoder.AddRow(changes); });
    encoder.Finish();
    return OneStrip(page.info, compression, std::move(strip));
}

CodedPage ReadRecoded(const TiffFile& file, std::size_t index, SaveCompression compression)
{
    CodedPage page = file.ReadCoded(index);  // its messages name the page
    try {
        return RecodePage(std::move(page), compression);
    } catch (const TiffError& e) {
        throw TiffError("page " + std::to_string(index + 1) + ": " + e.what());
    }
}

}  // namespace faxtiff
