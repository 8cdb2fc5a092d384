// Recoding a page from its strips alone gives what coding its decoded bitmap gives, for
// every coding the engine reads and every one it writes, and refuses what does not decode.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tiff/fax_encoder.h"
#include "tiff/page.h"
#include "tiff/page_coding.h"
#include "tiff/page_decoding.h"
#include "tiff/tiff_error.h"
#include "tiff_test_support.h"

namespace {

using faxtiff::PageBitmap;
using faxtiff::SaveCompression;
using faxtiff::fax::FaxScheme;
using tifftest::Field;

const SaveCompression kAllCompressions[] = {SaveCompression::None, SaveCompression::ModifiedHuffman,
                                            SaveCompression::Group3OneD, SaveCompression::Group4,
                                            SaveCompression::Group3TwoD};

std::vector<std::uint8_t> Coded(const PageBitmap& bitmap, FaxScheme scheme)
{
    std::vector<std::uint8_t> coded;
    faxtiff::fax::EncodeFax(bitmap, scheme, coded);
    return coded;
}

// PackBits literal packets only: a count byte n - 1, then n bytes.
std::vector<std::uint8_t> PackedLiterally(const std::vector<std::uint8_t>& bytes)
{
    std::vector<std::uint8_t> packed;
    for (std::size_t at = 0; at < bytes.size(); at += 128) {
        std::size_t n = std::min<std::size_t>(128, bytes.size() - at);
        packed.push_back(static_cast<std::uint8_t>(n - 1));
        packed.insert(packed.end(), bytes.begin() + at, bytes.begin() + at + n);
    }
    return packed;
}

// A one-page file whose page is `bitmap` in one strip of `data`, coded as `compression`.
std::vector<std::uint8_t> OneStripFile(const PageBitmap& bitmap, std::uint16_t compression,
                                       const std::vector<std::uint8_t>& data,
                                       std::vector<Field> extra = {})
{
    tifftest::TiffBuilder tiff;
    std::vector<Field> fields =
        tifftest::BilevelFields(bitmap.Width(), bitmap.Length(), compression, tiff.AddData(data),
                                static_cast<std::uint32_t>(data.size()));
    for (const Field& field : extra)
        tifftest::SetField(fields, field);
    tiff.AddIfd(fields);
    return tiff.Bytes();
}

std::vector<std::uint8_t> TwoGroup4Strips(const PageBitmap& bitmap, std::uint32_t firstRows)
{
    tifftest::TiffBuilder tiff;
    std::vector<std::uint32_t> offsets, counts;
    for (std::uint32_t top : {0u, firstRows}) {
        std::uint32_t rows = top == 0 ? firstRows : bitmap.Length() - firstRows;
        PageBitmap part(bitmap.Width(), rows);
        for (std::uint32_t y = 0; y < rows; ++y)
            std::copy(bitmap.Row(top + y), bitmap.Row(top + y) + bitmap.Stride(), part.Row(y));
        std::vector<std::uint8_t> coded = Coded(part, FaxScheme::Group4);
        offsets.push_back(tiff.AddData(coded));
        counts.push_back(static_cast<std::uint32_t>(coded.size()));
    }
    std::vector<Field> fields = tifftest::BilevelFields(bitmap.Width(), bitmap.Length(), 4, 0, 0);
    tifftest::SetField(fields, {273, tifftest::kLong, offsets});
    tifftest::SetField(fields, {279, tifftest::kLong, counts});
    tifftest::SetField(fields, {278, tifftest::kLong, {firstRows}});
    tiff.AddIfd(fields);
    return tiff.Bytes();
}

const PageBitmap& Text()
{
    static const PageBitmap bitmap = tifftest::TextLikeBitmap(1001, 130, 4);
    return bitmap;
}

// Black, then white: what the uncompressed-mode source below codes.
const PageBitmap& BlackPixel()
{
    static const PageBitmap bitmap = [] {
        PageBitmap one(4, 1);
        one.SetPixel(0, 0, true);
        return one;
    }();
    return bitmap;
}

struct Source {
    std::string name;
    const PageBitmap& (*bitmap)();
    std::vector<std::uint8_t> (*file)();
    friend void PrintTo(const Source& source, std::ostream* out) { *out << source.name; }
};

const Source kSources[] = {
    {"Uncompressed", Text, [] { return OneStripFile(Text(), 1, tifftest::PackedRows(Text())); }},
    {"PackBits", Text,
     [] { return OneStripFile(Text(), 32773, PackedLiterally(tifftest::PackedRows(Text()))); }},
    {"ModifiedHuffman", Text,
     [] { return OneStripFile(Text(), 2, Coded(Text(), FaxScheme::ModifiedHuffman)); }},
    {"Group3OneD", Text,
     [] {
         return OneStripFile(Text(), 3, Coded(Text(), FaxScheme::Group3OneD),
                             {{292, tifftest::kLong, {4}}});
     }},
    {"Group3TwoD", Text,
     [] {
         return OneStripFile(Text(), 3, Coded(Text(), FaxScheme::Group3TwoD),
                             {{292, tifftest::kLong, {5}}});
     }},
    {"Group4TwoStrips", Text, [] { return TwoGroup4Strips(Text(), 77); }},
    {"Group3OneDFillOrder2BlackIsZero", Text,
     [] {
         return OneStripFile(Text(), 3,
                             tifftest::BitsReversed(Coded(Text(), FaxScheme::Group3OneD)),
                             {{266, tifftest::kShort, {2}}, {262, tifftest::kShort, {1}}});
     }},
    // Uncompressed mode: entrance, one black pixel, exit to white; then V0.
    {"Group4UncompressedMode", BlackPixel,
     [] {
         return OneStripFile(BlackPixel(), 4, {0x03, 0xE0, 0x50});
     }},  // 0000001111 1 0000001 0 1
};

class RecodePage : public testing::TestWithParam<Source> {};

TEST_P(RecodePage, GivesWhatCodingTheDecodedBitmapGives)
{
    faxtiff::TiffFile file = faxtiff::TiffFile::FromBytes(GetParam().file());
    faxtiff::Page page = file.ReadPage(0);
    ASSERT_EQ(page.Bitmap(), GetParam().bitmap());
    for (SaveCompression compression : kAllCompressions) {
        SCOPED_TRACE(faxtiff::SaveCompressionName(compression));
        faxtiff::CodedPage recoded = faxtiff::RecodePage(file.ReadCoded(0), compression);
        EXPECT_EQ(recoded, faxtiff::CodePage(page, compression));
        EXPECT_EQ(faxtiff::DecodePage(recoded.info, recoded.strips), page.Bitmap());
    }
}

INSTANTIATE_TEST_SUITE_P(EverySource, RecodePage, testing::ValuesIn(kSources),
                         [](const testing::TestParamInfo<Source>& source) {
                             return source.param.name;
                         });

TEST(RecodePageErrors, StripsThatDoNotDecodeAreRefusedWhetherCopiedOrRecoded)
{
    std::vector<std::uint8_t> coded = Coded(Text(), FaxScheme::Group3OneD);
    coded.resize(coded.size() / 2);
    faxtiff::TiffFile file =
        faxtiff::TiffFile::FromBytes(OneStripFile(Text(), 3, coded, {{292, tifftest::kLong, {4}}}));
    std::string loading = tifftest::ErrorOf([&] { file.ReadPage(0); });
    ASSERT_TRUE(loading.starts_with("page 1: strip 1: row ")) << loading;
    for (SaveCompression compression : kAllCompressions)
        EXPECT_EQ("page 1: " + tifftest::ErrorOf(
                                   [&] { faxtiff::RecodePage(file.ReadCoded(0), compression); }),
                  loading)
            << faxtiff::SaveCompressionName(compression);
}

}  // namespace
