// The CCITT codecs on their own: code tables, hand-coded streams, round trips, bad data.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tiff/fax_decoder.h"
#include "tiff/fax_encoder.h"
#include "tiff/fax_tables.h"
#include "tiff/packbits.h"
#include "tiff/tiff_error.h"
#include "tiff_test_support.h"

namespace {

using faxtiff::PageBitmap;
using faxtiff::TiffError;
using faxtiff::fax::FaxScheme;

const FaxScheme kSchemes[] = {FaxScheme::ModifiedHuffman, FaxScheme::Group3OneD,
                              FaxScheme::Group3TwoD, FaxScheme::Group4};

// "1000 11" -> bytes, MSB first, zero-padded; spaces are for reading.
std::vector<std::uint8_t> Bits(const std::string& text)
{
    std::vector<std::uint8_t> bytes;
    int n = 0;
    for (char c : text) {
        if (c == ' ')
            continue;
        if (n % 8 == 0)
            bytes.push_back(0);
        if (c == '1')
            bytes.back() |= static_cast<std::uint8_t>(0x80 >> (n % 8));
        ++n;
    }
    return bytes;
}

PageBitmap Decode(const std::vector<std::uint8_t>& data, FaxScheme scheme, std::uint32_t width,
                  std::uint32_t length)
{
    PageBitmap bitmap(width, length);
    faxtiff::fax::FaxDecoder(scheme, static_cast<int>(width)).DecodeStrip(data, bitmap, 0, length);
    return bitmap;
}

std::string DecodeError(const std::vector<std::uint8_t>& data, FaxScheme scheme,
                        std::uint32_t width, std::uint32_t length)
{
    return tifftest::ErrorOf([&] { Decode(data, scheme, width, length); });
}

PageBitmap RoundTrip(const PageBitmap& bitmap, FaxScheme scheme)
{
    std::vector<std::uint8_t> coded;
    faxtiff::fax::EncodeFax(bitmap, scheme, coded);
    return Decode(coded, scheme, bitmap.Width(), bitmap.Length());
}

TEST(FaxTables, EveryEncodingCodeDecodesToItsRun)
{
    const auto& codes = faxtiff::fax::Encoding();
    for (int color = 0; color < 2; ++color) {
        const auto& table = color == 0 ? faxtiff::fax::WhiteRuns() : faxtiff::fax::BlackRuns();
        for (int run = 0; run < 64; ++run) {
            faxtiff::fax::Code code = codes.terminating[color][run];
            faxtiff::fax::Entry e = table.Find(std::uint32_t{code.bits} << (16 - code.length));
            EXPECT_EQ(e.kind, faxtiff::fax::Kind::Terminating) << color << " " << run;
            EXPECT_EQ(e.value, run);
            EXPECT_EQ(e.length, code.length);
        }
        for (int m = 1; m <= 40; ++m) {
            faxtiff::fax::Code code = codes.makeup[color][m];
            faxtiff::fax::Entry e = table.Find(std::uint32_t{code.bits} << (16 - code.length));
            EXPECT_EQ(e.kind, faxtiff::fax::Kind::Makeup) << color << " " << m * 64;
            EXPECT_EQ(e.value, m * 64);
        }
    }
}

TEST(FaxCodec, CodesAHandWrittenRowAsTheTablesSay)
{
    PageBitmap row(8, 1);  // white 3, black 2, white 3
    row.SetPixel(3, 0, true);
    row.SetPixel(4, 0, true);
    std::vector<std::uint8_t> coded;
    faxtiff::fax::EncodeFax(row, FaxScheme::ModifiedHuffman, coded);
    EXPECT_EQ(coded, Bits("1000 11 1000"));
    // Group 4: horizontal (001, white 3, black 2), then V0 to the end, then EOFB.
    faxtiff::fax::EncodeFax(row, FaxScheme::Group4, coded);
    EXPECT_EQ(coded, Bits("001 1000 11 1 000000000001 000000000001"));
    // Group 3 1D: fill so the EOL ends on a byte boundary, then the row.
    faxtiff::fax::EncodeFax(row, FaxScheme::Group3OneD, coded);
    EXPECT_EQ(coded, Bits("0000 000000000001 1000 11 1000"));
    for (FaxScheme scheme : kSchemes)
        EXPECT_EQ(RoundTrip(row, scheme), row);
}

TEST(FaxCodec, DecodesEolsWithOrWithoutFillAndRtc)
{
    PageBitmap expected(8, 2);
    expected.SetPixel(3, 0, true);
    expected.SetPixel(4, 0, true);
    // Row 1 with EOL and no fill, row 2 (all white: W8 = 10011) after fill and EOL, then RTC.
    std::string rtc;
    for (int i = 0; i < 6; ++i)
        rtc += " 000000000001";
    EXPECT_EQ(Decode(Bits("000000000001 1000 11 1000 0000000 000000000001 10011" + rtc),
                     FaxScheme::Group3OneD, 8, 2),
              expected);
    // The first row may come without an EOL in 1D.
    EXPECT_EQ(Decode(Bits("1000 11 1000 000000000001 10011"), FaxScheme::Group3OneD, 8, 2),
              expected);
    // 2D: each row after EOL and its tag bit, a 1D row then a 2D one.
    std::vector<std::uint8_t> coded;
    faxtiff::fax::EncodeFax(expected, FaxScheme::Group3TwoD, coded);
    EXPECT_EQ(Decode(coded, FaxScheme::Group3TwoD, 8, 2), expected);
}

TEST(FaxCodec, DecodesUncompressedMode)
{
    // 1D: entrance, B, WB, WWWWW, exit with no whites and next colour black, then black run 2.
    PageBitmap expected(10, 1);
    for (int x : {0, 2, 8, 9})
        expected.SetPixel(x, 0, true);
    EXPECT_EQ(
        Decode(Bits("000000001111 1 01 000001 0000001 1 11"), FaxScheme::ModifiedHuffman, 10, 1),
        expected);
    // Exit with two whites, then a white run: W W W (2 + run of 1 = 3 whites after the black).
    PageBitmap second(4, 1);
    second.SetPixel(0, 0, true);
    EXPECT_EQ(Decode(Bits("000000001111 1 000000001 0 000111"), FaxScheme::ModifiedHuffman, 4, 1),
              second);
    // 2D: entrance, B, exit to white, then V0 against the all-white reference ends the row.
    EXPECT_EQ(Decode(Bits("0000001111 1 0000001 0 1"), FaxScheme::Group4, 4, 1), second);
}

TEST(FaxCodec, EverySchemeRoundTripsAwkwardWidthsAndPatterns)
{
    for (std::uint32_t width :
         {1u, 2u, 7u, 8u, 9u, 63u, 64u, 65u, 127u, 1728u, 2560u, 2623u, 2624u, 2625u, 5300u}) {
        std::vector<PageBitmap> pages = {
            tifftest::FilledBitmap(width, 5, false),
            tifftest::FilledBitmap(width, 5, true),
            tifftest::RandomBitmap(width, 9, width, 50),
            tifftest::RandomBitmap(width, 9, width + 1, 3),
            tifftest::RandomBitmap(width, 9, width + 2, 97),
            tifftest::StripedBitmap(width, 4, 1),
            tifftest::StripedBitmap(width, 4, 3),
            tifftest::StripedBitmap(width, 4, 70),
        };
        for (const PageBitmap& page : pages)
            for (FaxScheme scheme : kSchemes)
                ASSERT_EQ(RoundTrip(page, scheme), page)
                    << "width " << width << " scheme " << static_cast<int>(scheme);
    }
    PageBitmap text = tifftest::TextLikeBitmap(1728, 600, 1);
    for (FaxScheme scheme : kSchemes)
        EXPECT_EQ(RoundTrip(text, scheme), text);
}

TEST(FaxCodec, BitsPastTheWidthDoNotLeakIntoTheCode)
{
    PageBitmap page = tifftest::RandomBitmap(13, 6, 5, 40);
    PageBitmap dirty = page;
    for (std::uint32_t y = 0; y < 6; ++y)
        dirty.Row(y)[1] |= 0x07;  // the 3 bits after pixel 12
    for (FaxScheme scheme : kSchemes)
        EXPECT_EQ(RoundTrip(dirty, scheme), page);
}

TEST(FaxCodec, RefusesBadStreamsNamingTheRow)
{
    // Data for one row where two are expected.
    std::vector<std::uint8_t> oneRow = Bits("1000 11 1000");
    EXPECT_EQ(DecodeError(oneRow, FaxScheme::ModifiedHuffman, 8, 2),
              "row 2: the coded data ends before the row");
    // A run of 64 in an 8-pixel row.
    EXPECT_EQ(DecodeError(Bits("11011 00110101"), FaxScheme::ModifiedHuffman, 8, 1),
              "row 1: run goes past the end of the row");
    // White 0, then a black code word that does not exist.
    EXPECT_EQ(DecodeError(Bits("00110101 0000000000000 1111"), FaxScheme::ModifiedHuffman, 8, 1),
              "row 1: invalid black run code word");
    // An EOL after 3 of 16 pixels.
    EXPECT_EQ(
        DecodeError(Bits("000000000001 1000 000000000001 11111111"), FaxScheme::Group3OneD, 16, 1),
        "row 1: end-of-line code inside the row (the row is shorter than the page)");
    // 2D rows must follow an EOL and its tag bit.
    EXPECT_EQ(DecodeError(Bits("1 1 1 1"), FaxScheme::Group3TwoD, 4, 1),
              "row 1: no end-of-line code before the row");
    // VR3 from b1 = 4 points past a 4-pixel row.
    EXPECT_EQ(DecodeError(Bits("0000011 1111"), FaxScheme::Group4, 4, 1),
              "row 1: vertical mode code points outside the row");
    // EOFB where row 2 should start.
    EXPECT_EQ(DecodeError(Bits("1 000000000001 000000000001"), FaxScheme::Group4, 4, 3),
              "row 2: end-of-line code where the row should start");
    // A Group 4 page cut in half.
    PageBitmap text = tifftest::TextLikeBitmap(300, 120, 2);
    std::vector<std::uint8_t> coded;
    faxtiff::fax::EncodeFax(text, FaxScheme::Group4, coded);
    coded.resize(coded.size() / 2);
    EXPECT_NE(DecodeError(coded, FaxScheme::Group4, 300, 120).find("the coded data ends"),
              std::string::npos);
}

TEST(FaxCodec, ZeroBitsNeverDecodeForever)
{
    std::vector<std::uint8_t> zeros(64, 0);
    for (FaxScheme scheme : kSchemes)
        EXPECT_NE(DecodeError(zeros, scheme, 1728, 4000), "no error");
}

TEST(PackBits, UnpacksLiteralAndRepeatRuns)
{
    // The example of the TIFF 6.0 PackBits section.
    std::vector<std::uint8_t> packed = {0xFE, 0xAA, 0x02, 0x80, 0x00, 0x2A, 0xFD, 0xAA,
                                        0x03, 0x80, 0x00, 0x2A, 0x22, 0xF7, 0xAA};
    std::vector<std::uint8_t> expected = {0xAA, 0xAA, 0xAA, 0x80, 0x00, 0x2A, 0xAA, 0xAA,
                                          0xAA, 0xAA, 0x80, 0x00, 0x2A, 0x22, 0xAA, 0xAA,
                                          0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA};
    std::vector<std::uint8_t> out(expected.size());
    faxtiff::UnpackBits(packed, out);
    EXPECT_EQ(out, expected);
    // 0x80 is a no-op.
    std::vector<std::uint8_t> two(2);
    faxtiff::UnpackBits(std::vector<std::uint8_t>{0x80, 0xFF, 0x11}, two);
    EXPECT_EQ(two, (std::vector<std::uint8_t>{0x11, 0x11}));
}

TEST(PackBits, RefusesRunsPastEitherEnd)
{
    std::vector<std::uint8_t> out(4);
    EXPECT_THROW(faxtiff::UnpackBits(std::vector<std::uint8_t>{0xFB, 0x00}, out),
                 TiffError);  // 6 of 4
    EXPECT_THROW(faxtiff::UnpackBits(std::vector<std::uint8_t>{0x03, 0x01, 0x02}, out),
                 TiffError);  // 4 listed, 2 there
    EXPECT_THROW(faxtiff::UnpackBits(std::vector<std::uint8_t>{0x01, 0x01, 0x02}, out),
                 TiffError);  // 2 of 4, then nothing
    EXPECT_THROW(faxtiff::UnpackBits(std::vector<std::uint8_t>{0xFE}, out),
                 TiffError);  // repeat of nothing
}

}  // namespace
