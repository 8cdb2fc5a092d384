// Reading pages: layouts the engine takes, and what it refuses with which message.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tiff/fax_encoder.h"
#include "tiff/page.h"
#include "tiff/tiff_error.h"
#include "tiff_test_support.h"

namespace {

using faxtiff::ByteOrder;
using faxtiff::PageBitmap;
using faxtiff::TiffError;
using tifftest::Field;
using tifftest::TiffBuilder;

std::string LoadError(const std::vector<std::uint8_t>& file, std::size_t index = 0)
{
    return tifftest::ErrorOf([&] { faxtiff::LoadPage(file, index); });
}

TEST(TiffReading, ReadsBothByteOrdersWithTheirTags)
{
    PageBitmap bitmap = tifftest::RandomBitmap(37, 11, 3, 30);
    for (ByteOrder order : {ByteOrder::LittleEndian, ByteOrder::BigEndian}) {
        faxtiff::Page page = faxtiff::LoadPage(tifftest::UncompressedTiff(bitmap, order));
        EXPECT_EQ(page.Bitmap(), bitmap);
        const faxtiff::PageInfo& info = page.Info();
        EXPECT_EQ(info.width, 37u);
        EXPECT_EQ(info.length, 11u);
        EXPECT_EQ(info.compression, 1);
        ASSERT_TRUE(info.resolution.has_value());
        EXPECT_EQ(info.resolution->x, (faxtiff::Rational{204, 1}));
        EXPECT_EQ(info.resolution->y, (faxtiff::Rational{196, 1}));
        EXPECT_EQ(info.resolution->unit, 2);
        ASSERT_EQ(page.Strips().size(), 1u);
        EXPECT_EQ(page.Strips()[0], tifftest::PackedRows(bitmap));
    }
}

TEST(TiffReading, ReadsStripsPagesFillOrderAndPhotometric)
{
    PageBitmap first = tifftest::RandomBitmap(20, 10, 1, 50);
    PageBitmap second = tifftest::TextLikeBitmap(200, 70, 2);
    TiffBuilder tiff(ByteOrder::BigEndian);
    // Page 1: uncompressed, 4 rows per strip (4 + 4 + 2), bits in FillOrder 2, BlackIsZero.
    std::vector<std::uint8_t> rows = tifftest::BitsReversed(tifftest::PackedRows(first));
    std::vector<std::uint32_t> offsets, counts;
    for (std::size_t at = 0; at < rows.size(); at += 4 * 3) {
        std::size_t n = std::min<std::size_t>(12, rows.size() - at);
        offsets.push_back(tiff.AddData({rows.begin() + at, rows.begin() + at + n}));
        counts.push_back(static_cast<std::uint32_t>(n));
    }
    std::vector<Field> fields = tifftest::BilevelFields(20, 10, 1, 0, 0);
    tifftest::SetField(fields, {273, tifftest::kLong, offsets});
    tifftest::SetField(fields, {279, tifftest::kShort, counts});
    tifftest::SetField(fields, {278, tifftest::kShort, {4}});
    tifftest::SetField(fields, {266, tifftest::kShort, {2}});
    tifftest::SetField(fields, {262, tifftest::kShort, {1}});
    tiff.AddIfd(fields);
    // Page 2: Group 4, without resolution tags.
    std::vector<std::uint8_t> coded;
    faxtiff::fax::EncodeFax(second, faxtiff::fax::FaxScheme::Group4, coded);
    std::vector<Field> g4 = tifftest::BilevelFields(200, 70, 4, tiff.AddData(coded),
                                                    static_cast<std::uint32_t>(coded.size()));
    tifftest::RemoveField(g4, 282);
    tifftest::RemoveField(g4, 283);
    tiff.AddIfd(g4);

    faxtiff::TiffFile file = faxtiff::TiffFile::FromBytes(tiff.Bytes());
    ASSERT_EQ(file.PageCount(), 2u);
    faxtiff::Page one = file.ReadPage(0);
    EXPECT_EQ(one.Bitmap(), first);
    EXPECT_EQ(one.Info().photometric, 1);
    EXPECT_EQ(one.Info().fillOrder, 2);
    EXPECT_EQ(one.Info().stripCount, 3u);
    EXPECT_EQ(one.Info().rowsPerStrip, 4u);
    faxtiff::Page two = file.ReadPage(1);
    EXPECT_EQ(two.Bitmap(), second);
    EXPECT_FALSE(two.Info().resolution.has_value());
    EXPECT_EQ(file.Info(1), two.Info());
    EXPECT_EQ(LoadError(tiff.Bytes(), 2), "page 3: the file has 2 pages");
}

// A valid one-page file with the page's tags changed by `change`.
std::vector<std::uint8_t>
ChangedPage(const std::function<void(std::vector<Field>&, TiffBuilder&)>& change)
{
    PageBitmap bitmap = tifftest::RandomBitmap(16, 4, 9, 50);
    TiffBuilder tiff;
    std::vector<std::uint8_t> rows = tifftest::PackedRows(bitmap);
    std::vector<Field> fields = tifftest::BilevelFields(16, 4, 1, tiff.AddData(rows),
                                                        static_cast<std::uint32_t>(rows.size()));
    change(fields, tiff);
    tiff.AddIfd(fields);
    return tiff.Bytes();
}

TEST(TiffReading, RefusesWhatItCannotDecodeSayingWhat)
{
    struct Case {
        std::function<void(std::vector<Field>&, TiffBuilder&)> change;
        std::string message;
    };
    using F = std::vector<Field>;
    const Case cases[] = {
        {[](F& f, TiffBuilder&) {
             tifftest::SetField(f, {259, tifftest::kShort, {5}});
         },
         "page 1: unsupported compression 5 (LZW)"},
        {[](F& f, TiffBuilder&) {
             tifftest::SetField(f, {259, tifftest::kShort, {7}});
         },
         "page 1: unsupported compression 7 (JPEG)"},
        {[](F& f, TiffBuilder&) {
             tifftest::SetField(f, {322, tifftest::kShort, {16}});
         },
         "page 1: tiled pages are not supported"},
        {[](F& f, TiffBuilder&) {
             tifftest::SetField(f, {258, tifftest::kShort, {8}});
         },
         "page 1: 8 bits per sample: only bilevel (1 bit) pages are supported"},
        {[](F& f, TiffBuilder&) {
             tifftest::SetField(f, {277, tifftest::kShort, {3}});
         },
         "page 1: 3 samples per pixel: only bilevel pages are supported"},
        {[](F& f, TiffBuilder&) {
             tifftest::SetField(f, {262, tifftest::kShort, {2}});
         },
         "page 1: photometric interpretation 2 (RGB): only bilevel pages are supported"},
        {[](F& f, TiffBuilder&) { tifftest::RemoveField(f, 279); },
         "page 1: no StripByteCounts tag"},
        {[](F& f, TiffBuilder&) { tifftest::RemoveField(f, 256); }, "page 1: no ImageWidth tag"},
        {[](F& f, TiffBuilder&) {
             tifftest::SetField(f, {273, tifftest::kLong, {900}});
         },
         "page 1: strip 1 (8 bytes at offset 900) runs past the end of the file ("},
        {[](F& f, TiffBuilder&) {
             tifftest::SetField(f, {279, tifftest::kLong, {7}});
         },
         "page 1: strip 1 holds 7 bytes, too few for its 4 rows"},
        {[](F& f, TiffBuilder&) {
             tifftest::SetField(f, {256, tifftest::kLong, {0}});
         },
         "page 1: page has no pixels (0 x 4)"},
        {[](F& f, TiffBuilder&) {
             tifftest::SetField(f, {257, tifftest::kLong, {4000000}});
         },
         "page 1: page of 16 x 4000000 pixels is larger than the engine takes (32768 wide, 65535 "
         "long, 32 MiB)"},
        {[](F& f, TiffBuilder&) {
             tifftest::SetField(f, {266, tifftest::kShort, {3}});
         },
         "page 1: FillOrder 3 is not 1 or 2"},
        {[](F& f, TiffBuilder&) {
             tifftest::SetField(f, {259, tifftest::kShort, {3}});
             tifftest::SetField(f, {292, tifftest::kLong, {8}});
         },
         "page 1: unsupported T4Options 0x8"},
        {[](F& f, TiffBuilder&) {
             tifftest::SetField(f, {278, tifftest::kLong, {0}});
         },
         "page 1: RowsPerStrip is 0"},
        {[](F& f, TiffBuilder&) {
             tifftest::SetField(f, {278, tifftest::kLong, {1}});
         },
         "page 1: 4 rows at 1 per strip make 4 strips, but the file lists 1 offsets and 1 byte "
         "counts"},
        {[](F& f, TiffBuilder&) {
             tifftest::SetField(f, {282, tifftest::kRational, {204, 0}});
         },
         "page 1: XResolution has a zero denominator"},
        {[](F& f, TiffBuilder&) {
             tifftest::SetField(f, {256, tifftest::kAscii, {65, 0}});
         },
         "page 1: tag 256 has type 2 where a number belongs"},
    };
    for (const Case& c : cases) {
        std::string message = LoadError(ChangedPage(c.change));
        EXPECT_EQ(message.substr(0, c.message.size()), c.message) << message;
    }
}

TEST(TiffReading, RefusesBrokenFilesAndDirectoryChains)
{
    EXPECT_EQ(LoadError({'G', 'I', 'F', '8', '9', 'a', 0, 0, 0}), "not a TIFF file");
    EXPECT_EQ(LoadError({'I', 'I', 42}), "not a TIFF file (only 3 bytes)");
    EXPECT_EQ(LoadError({'I', 'I', 43, 0, 8, 0, 0, 0}), "BigTIFF files are not supported");
    EXPECT_EQ(LoadError({'M', 'M', 0, 42, 0, 0, 0, 0}), "the file has no pages");
    EXPECT_EQ(LoadError({'I', 'I', 42, 0, 0, 1, 0, 0}),
              "page 1: directory offset 256 lies outside the file");

    PageBitmap bitmap = tifftest::RandomBitmap(8, 2, 1, 50);
    std::vector<std::uint8_t> good = tifftest::UncompressedTiff(bitmap);
    std::vector<std::uint8_t> cut(good.begin(), good.end() - 30);
    EXPECT_EQ(LoadError(cut).substr(0, 36), "page 1: directory at offset 10 runs ");

    TiffBuilder loop;
    std::vector<std::uint8_t> rows = tifftest::PackedRows(bitmap);
    std::uint32_t strip = loop.AddData(rows);
    std::uint32_t one = loop.AddIfd(tifftest::BilevelFields(8, 2, 1, strip, 2));
    std::uint32_t two = loop.AddIfd(tifftest::BilevelFields(8, 2, 1, strip, 2));
    loop.SetNext(two, one);
    EXPECT_EQ(LoadError(loop.Bytes()),
              "page 3: the directory chain loops back to offset " + std::to_string(one));
}

TEST(TiffReading, RefusesSharedStripsAndPagesDenserThanAnyRealOne)
{
    PageBitmap bitmap = tifftest::RandomBitmap(16, 4, 9, 50);
    std::vector<std::uint8_t> rows = tifftest::PackedRows(bitmap);
    // Pages whose strips overlap: the same strip, or one starting inside the other.
    for (std::uint32_t shift : {0u, 2u}) {
        TiffBuilder tiff;
        std::uint32_t strip = tiff.AddData(rows);
        tiff.AddData(rows);
        tiff.AddIfd(tifftest::BilevelFields(16, 4, 1, tiff.AddData(rows), 8));
        tiff.AddIfd(tifftest::BilevelFields(16, 4, 1, strip, 8));
        tiff.AddIfd(tifftest::BilevelFields(16, 4, 1, strip + shift, 8));
        EXPECT_EQ(LoadError(tiff.Bytes()), "page 3: strip 1 overlaps strip 1 of page 2");
    }
    // Two strips of one page.
    std::vector<std::uint8_t> one = ChangedPage([](std::vector<Field>& f, TiffBuilder&) {
        std::uint32_t strip = f[5].values[0];
        tifftest::SetField(f, {273, tifftest::kLong, {strip, strip + 3}});
        tifftest::SetField(f, {278, tifftest::kLong, {2}});
        tifftest::SetField(f, {279, tifftest::kLong, {4, 4}});
    });
    EXPECT_EQ(LoadError(one), "page 1: strip 2 overlaps strip 1 of page 1");

    // A white page of 16384 x 16384 in 2 KB of Group 4 (one bit a row) is no real page.
    const std::uint32_t side = 16384;
    TiffBuilder white;
    white.AddIfd(tifftest::BilevelFields(
        side, side, 4, white.AddData(std::vector<std::uint8_t>(side / 8, 0xFF)), side / 8));
    EXPECT_EQ(LoadError(white.Bytes()),
              "page 1: page of 16384 x 16384 pixels in 2048 coded bytes: more than 65536 "
              "pixels a byte, which no real page comes to");
    // A white A3 fax page (4864 pixels wide at 16 dots per mm) as Group 4 codes it, is.
    std::vector<std::uint8_t> coded;
    faxtiff::fax::EncodeFax(PageBitmap(4864, 6874), faxtiff::fax::FaxScheme::Group4, coded);
    TiffBuilder a3;
    a3.AddIfd(tifftest::BilevelFields(4864, 6874, 4, a3.AddData(coded),
                                      static_cast<std::uint32_t>(coded.size())));
    EXPECT_EQ(faxtiff::LoadPage(a3.Bytes()).Bitmap(), PageBitmap(4864, 6874));
}

TEST(TiffReading, RefusesCutOffCodedData)
{
    PageBitmap text = tifftest::TextLikeBitmap(400, 90, 4);
    std::vector<std::uint8_t> coded;
    faxtiff::fax::EncodeFax(text, faxtiff::fax::FaxScheme::Group3TwoD, coded);
    coded.resize(coded.size() * 2 / 3);
    TiffBuilder tiff;
    std::vector<Field> fields = tifftest::BilevelFields(400, 90, 3, tiff.AddData(coded),
                                                        static_cast<std::uint32_t>(coded.size()));
    tifftest::SetField(fields, {292, tifftest::kLong, {5}});
    tiff.AddIfd(fields);
    std::string message = LoadError(tiff.Bytes());
    EXPECT_EQ(message.substr(0, 21), "page 1: strip 1: row ") << message;
    EXPECT_NE(message.find("the coded data ends"), std::string::npos) << message;
    // The tags alone are fine, so Info does not complain.
    EXPECT_EQ(faxtiff::TiffFile::FromBytes(tiff.Bytes()).Info(0).t4Options, 5u);
}

TEST(TiffReading, LoadsFromFilesAndListsPages)
{
    tifftest::ScratchDir dir;
    std::string path = dir / "one.tif";
    PageBitmap bitmap = tifftest::RandomBitmap(30, 5, 2, 50);
    tifftest::WriteFileBytes(path, tifftest::UncompressedTiff(bitmap, ByteOrder::BigEndian));
    EXPECT_EQ(faxtiff::LoadPage(path).Bitmap(), bitmap);
    std::vector<faxtiff::PageInfo> pages = faxtiff::ListPages(path);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].width, 30u);
    std::string message = tifftest::ErrorOf([&] { faxtiff::LoadPage(dir / "missing.tif"); });
    EXPECT_TRUE(message.starts_with((dir / "missing.tif") + ": cannot open the file (")) << message;
}

}  // namespace
