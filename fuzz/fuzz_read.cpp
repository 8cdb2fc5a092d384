// Fuzz target: read and decode every page of any input; a page that decodes must come
// back the same after writing it with every compression code and reading that again,
// and recoding its strips alone must give what coding its bitmap gives (and be refused
// exactly when decoding is).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "tiff/byte_order.h"
#include "tiff/page.h"
#include "tiff/page_coding.h"
#include "tiff/page_writer.h"
#include "tiff/tiff_error.h"

namespace {

constexpr std::size_t kMaxPages = 4;
constexpr std::uint64_t kMaxRoundTripPixels = 1 << 20;

std::vector<std::uint8_t> OnePageFile(const faxtiff::Page& page,
                                      faxtiff::SaveCompression compression,
                                      faxtiff::ByteOrder order)
{
    faxtiff::PageBlock block = faxtiff::BuildPageBlock(faxtiff::CodePage(page, compression), order,
                                                       8, faxtiff::PageNumber{0, 1});
    std::vector<std::uint8_t> file(8);
    if (order == faxtiff::ByteOrder::LittleEndian) {
        file[0] = file[1] = 'I';
    } else {
        file[0] = file[1] = 'M';
    }
    faxtiff::Put16(file.data() + 2, 42, order);
    faxtiff::Put32(file.data() + 4, block.ifdOffset, order);
    file.insert(file.end(), block.bytes.begin(), block.bytes.end());
    return file;
}

void CheckRoundTrips(const faxtiff::Page& page)
{
    if (std::uint64_t{page.Info().width} * page.Info().length > kMaxRoundTripPixels)
        return;
    for (std::uint16_t code = 1; code <= 5; ++code) {
        faxtiff::SaveCompression compression = faxtiff::SaveCompressionFromCode(code);
        faxtiff::ByteOrder order =
            code % 2 ? faxtiff::ByteOrder::BigEndian : faxtiff::ByteOrder::LittleEndian;
        std::vector<std::uint8_t> file = OnePageFile(page, compression, order);
        faxtiff::Page back =
            faxtiff::LoadPage(file);  // throws (and so crashes the run) if unreadable
        const faxtiff::PageInfo& a = page.Info();
        const faxtiff::PageInfo& b = back.Info();
        if (!(back.Bitmap() == page.Bitmap()) || a.width != b.width || a.length != b.length ||
            a.photometric != b.photometric || a.resolution != b.resolution ||
            a.orientation != b.orientation)
            std::abort();
        if (faxtiff::CanCopyStrips(page.Coded(), compression) && back.Strips() != page.Strips())
            std::abort();
    }
}

void CheckRecoding(const faxtiff::TiffFile& file, std::size_t index,
                   const std::optional<faxtiff::Page>& page)
{
    faxtiff::CodedPage coded;
    try {
        coded = file.ReadCoded(index);
    } catch (const faxtiff::TiffError&) {
        if (page)
            std::abort();
        return;
    }
    if (std::uint64_t{coded.info.width} * coded.info.length > kMaxRoundTripPixels)
        return;
    for (std::uint16_t code = 1; code <= 5; ++code) {
        faxtiff::SaveCompression compression = faxtiff::SaveCompressionFromCode(code);
        try {
            faxtiff::CodedPage recoded = faxtiff::RecodePage(coded, compression);
            if (!page || !(recoded == faxtiff::CodePage(*page, compression)))
                std::abort();
        } catch (const faxtiff::TiffError&) {
            if (page)
                std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    try {
        faxtiff::TiffFile file = faxtiff::TiffFile::FromBytes({data, size});
        for (std::size_t i = 0; i < file.PageCount() && i < kMaxPages; ++i) {
            std::optional<faxtiff::Page> page;
            try {
                faxtiff::PageInfo info = file.Info(i);
                page = file.ReadPage(i);
                if (!(page->Info() == info))
                    std::abort();
                CheckRoundTrips(*page);
            } catch (const faxtiff::TiffError&) {
            }
            CheckRecoding(file, i, page);
        }
    } catch (const faxtiff::TiffError&) {
    }
    return 0;
}
