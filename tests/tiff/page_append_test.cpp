// Saving pages: creating, appending, copying strips as they are, refusing, crash safety.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tiff/fax_encoder.h"
#include "tiff/file.h"
#include "tiff/page.h"
#include "tiff/page_append.h"
#include "tiff/page_coding.h"
#include "tiff/save_compression.h"
#include "tiff/tiff_error.h"
#include "tiff_test_support.h"

namespace {

using faxtiff::ByteOrder;
using faxtiff::Page;
using faxtiff::PageBitmap;
using faxtiff::SaveCompression;
using faxtiff::TiffError;

const SaveCompression kAllCompressions[] = {SaveCompression::None, SaveCompression::ModifiedHuffman,
                                            SaveCompression::Group3OneD, SaveCompression::Group4,
                                            SaveCompression::Group3TwoD};

Page FaxPage(std::uint32_t seed, std::uint16_t photometric = 0)
{
    return Page::FromBitmap(tifftest::TextLikeBitmap(864, 200, seed), photometric,
                            faxtiff::Resolution{{204, 1}, {98, 1}, 2});
}

// The page as a file with one page, read back: a page with strips to copy.
Page StoredPage(const Page& page, SaveCompression compression, const tifftest::ScratchDir& dir)
{
    std::string path = dir / ("stored-" + std::to_string(static_cast<int>(compression)) + ".tif");
    faxtiff::WritePage(path, page, compression);
    return faxtiff::LoadPage(path);
}

std::string AppendError(const std::string& path, const Page& page)
{
    return tifftest::ErrorOf([&] { faxtiff::AppendPage(path, page, SaveCompression::Group4); });
}

TEST(PageAppend, CreatesTheFileThenAppendsEveryCompression)
{
    tifftest::ScratchDir dir;
    std::string path = dir / "fax.tif";
    std::vector<Page> pages;
    for (std::uint32_t i = 0; i < 5; ++i) {
        pages.push_back(FaxPage(i, static_cast<std::uint16_t>(i % 2)));
        faxtiff::AppendPage(path, pages.back(), kAllCompressions[i]);
    }
    faxtiff::TiffFile file = faxtiff::TiffFile::Open(path);
    ASSERT_EQ(file.PageCount(), 5u);
    const std::uint16_t tiffCompression[] = {1, 2, 3, 4, 3};
    for (std::size_t i = 0; i < 5; ++i) {
        Page back = file.ReadPage(i);
        EXPECT_EQ(back.Bitmap(), pages[i].Bitmap()) << i;
        EXPECT_EQ(back.Info().compression, tiffCompression[i]);
        EXPECT_EQ(back.Info().photometric, pages[i].Info().photometric);
        EXPECT_EQ(back.Info().resolution, pages[i].Info().resolution);
    }
    EXPECT_EQ(file.Info(2).t4Options, 4u);
    EXPECT_EQ(file.Info(4).t4Options, 5u);
    EXPECT_FALSE(tifftest::ReadFileBytes(path).empty());
}

TEST(PageAppend, LeavesEveryEarlierByteButTheLinkAlone)
{
    tifftest::ScratchDir dir;
    std::string path = dir / "fax.tif";
    PageBitmap first = tifftest::RandomBitmap(33, 7, 1, 50);
    std::vector<std::uint8_t> original = tifftest::UncompressedTiff(first, ByteOrder::BigEndian);
    original.push_back(0xEE);  // odd size: the new directory must still start on a word boundary
    tifftest::WriteFileBytes(path, original);

    faxtiff::AppendPage(path, FaxPage(3), SaveCompression::Group4);
    std::vector<std::uint8_t> after = tifftest::ReadFileBytes(path);
    ASSERT_GT(after.size(), original.size());
    int changed = 0;
    for (std::size_t i = 0; i < original.size(); ++i)
        changed += after[i] != original[i];
    EXPECT_LE(changed, 4);
    faxtiff::TiffFile file = faxtiff::TiffFile::Open(path);
    ASSERT_EQ(file.PageCount(), 2u);
    EXPECT_EQ(file.ReadPage(0).Bitmap(), first);
    EXPECT_EQ(file.ReadPage(1).Bitmap(), FaxPage(3).Bitmap());
}

TEST(PageAppend, APointFromTheLastAppendIsUsedOnlyWhileTheFileIsAsItLeftIt)
{
    tifftest::ScratchDir dir;
    std::string walked = dir / "walked.tif", pointed = dir / "pointed.tif";
    std::optional<faxtiff::AppendPoint> point;
    for (std::uint32_t i = 0; i < 4; ++i) {
        faxtiff::AppendPage(walked, FaxPage(i), SaveCompression::Group4);
        point = faxtiff::AppendPage(pointed, FaxPage(i), SaveCompression::Group4, point);
        ASSERT_TRUE(point);
        EXPECT_EQ(point->pageCount, i + 1);
    }
    EXPECT_EQ(tifftest::ReadFileBytes(pointed), tifftest::ReadFileBytes(walked));

    // Another program adds a page meanwhile: the stale point would link over it.
    faxtiff::AppendPage(pointed, FaxPage(10), SaveCompression::Group4);
    faxtiff::AppendPage(pointed, FaxPage(11), SaveCompression::Group4, point);
    faxtiff::TiffFile file = faxtiff::TiffFile::Open(pointed);
    ASSERT_EQ(file.PageCount(), 6u);
    EXPECT_EQ(file.ReadPage(4).Bitmap(), FaxPage(10).Bitmap());
    EXPECT_EQ(file.ReadPage(5).Bitmap(), FaxPage(11).Bitmap());
}

TEST(PageAppend, CopiesStripsThatAlreadyHaveTheCoding)
{
    tifftest::ScratchDir dir;
    Page page = FaxPage(7);
    for (SaveCompression compression : kAllCompressions) {
        Page stored = StoredPage(page, compression, dir);
        ASSERT_TRUE(faxtiff::CanCopyStrips(stored.Coded(), compression));
        std::string path = dir / "copy.tif";
        faxtiff::AppendPage(path, stored, compression);
        Page back = faxtiff::LoadPage(path);
        EXPECT_EQ(back.Strips(), stored.Strips());
        EXPECT_EQ(back.Bitmap(), page.Bitmap());
        std::remove(path.c_str());
    }
    // Not the same coding: 1D is not 2D, and nothing in FillOrder 2 is copied.
    Page g3 = StoredPage(page, SaveCompression::Group3OneD, dir);
    EXPECT_FALSE(faxtiff::CanCopyStrips(g3.Coded(), SaveCompression::Group3TwoD));
    EXPECT_FALSE(faxtiff::CanCopyStrips(g3.Coded(), SaveCompression::Group4));
    EXPECT_FALSE(faxtiff::CanCopyStrips(page.Coded(), SaveCompression::None));  // no strips at all
}

TEST(PageAppend, ReencodesAFillOrder2PageAndKeepsMultiStripLayoutsWhenCopying)
{
    tifftest::TiffBuilder tiff;
    PageBitmap bitmap = tifftest::TextLikeBitmap(300, 50, 5);
    // Two Group 4 strips of 30 and 20 rows.
    std::vector<std::uint32_t> offsets, counts;
    for (std::uint32_t top : {0u, 30u}) {
        std::uint32_t rows = top == 0 ? 30 : 20;
        PageBitmap part(300, rows);
        for (std::uint32_t y = 0; y < rows; ++y)
            std::copy(bitmap.Row(top + y), bitmap.Row(top + y) + bitmap.Stride(), part.Row(y));
        std::vector<std::uint8_t> coded;
        faxtiff::fax::EncodeFax(part, faxtiff::fax::FaxScheme::Group4, coded);
        offsets.push_back(tiff.AddData(coded));
        counts.push_back(static_cast<std::uint32_t>(coded.size()));
    }
    std::vector<tifftest::Field> fields = tifftest::BilevelFields(300, 50, 4, 0, 0);
    tifftest::SetField(fields, {273, tifftest::kLong, offsets});
    tifftest::SetField(fields, {279, tifftest::kLong, counts});
    tifftest::SetField(fields, {278, tifftest::kLong, {30}});
    tiff.AddIfd(fields);
    Page twoStrips = faxtiff::LoadPage(tiff.Bytes());

    tifftest::ScratchDir dir;
    std::string path = dir / "out.tif";
    faxtiff::AppendPage(path, twoStrips, SaveCompression::Group4);
    Page copied = faxtiff::LoadPage(path);
    EXPECT_EQ(copied.Strips(), twoStrips.Strips());
    EXPECT_EQ(copied.Info().rowsPerStrip, 30u);
    EXPECT_EQ(copied.Bitmap(), bitmap);

    tifftest::SetField(fields, {266, tifftest::kShort, {2}});
    tifftest::TiffBuilder reversed;
    std::vector<std::uint8_t> rows = tifftest::BitsReversed(tifftest::PackedRows(bitmap));
    std::vector<tifftest::Field> plain = tifftest::BilevelFields(
        300, 50, 1, reversed.AddData(rows), static_cast<std::uint32_t>(rows.size()));
    tifftest::SetField(plain, {266, tifftest::kShort, {2}});
    reversed.AddIfd(plain);
    Page lsbFirst = faxtiff::LoadPage(reversed.Bytes());
    EXPECT_FALSE(faxtiff::CanCopyStrips(lsbFirst.Coded(), SaveCompression::None));
    faxtiff::AppendPage(path, lsbFirst, SaveCompression::None);
    Page back = faxtiff::TiffFile::Open(path).ReadPage(1);
    EXPECT_EQ(back.Info().fillOrder, 1);
    EXPECT_EQ(back.Bitmap(), bitmap);
}

TEST(PageAppend, RefusesAndLeavesAloneWhatIsNoTiffToAppendTo)
{
    tifftest::ScratchDir dir;
    struct Case {
        std::string name;
        std::vector<std::uint8_t> bytes;
        std::string message;
    };
    PageBitmap bitmap = tifftest::RandomBitmap(8, 2, 1, 50);
    tifftest::TiffBuilder loop;
    std::uint32_t strip = loop.AddData(tifftest::PackedRows(bitmap));
    std::uint32_t ifd = loop.AddIfd(tifftest::BilevelFields(8, 2, 1, strip, 2));
    loop.SetNext(ifd, ifd);
    // A page whose strip runs past the end: a new page there would become part of it.
    tifftest::TiffBuilder past;
    std::uint32_t end = static_cast<std::uint32_t>(tifftest::UncompressedTiff(bitmap).size());
    past.AddData(tifftest::PackedRows(bitmap));
    past.AddIfd(tifftest::BilevelFields(8, 2, 1, end - 1, 2));
    const Case cases[] = {
        {"text.tif", {'h', 'e', 'l', 'l', 'o', ' ', 'f', 'a', 'x', '\n'}, "not a TIFF file"},
        {"empty.tif", {}, "not a TIFF file (only 0 bytes)"},
        {"big.tif",
         {'I', 'I', 43, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
         "BigTIFF files are not supported"},
        {"loop.tif", loop.Bytes(),
         "page 2: the directory chain loops back to offset " + std::to_string(ifd)},
        {"past.tif", past.Bytes(), "the image data of page 1 runs past the end of the file"},
    };
    for (const Case& c : cases) {
        std::string path = dir / c.name;
        tifftest::WriteFileBytes(path, c.bytes);
        EXPECT_EQ(AppendError(path, FaxPage(1)),
                  path + ": cannot append to this file: " + c.message);
        EXPECT_EQ(tifftest::ReadFileBytes(path), c.bytes) << c.name;
    }
}

TEST(PageAppend, RefusesAFileWhoseLastLinkIsPartOfAnEarlierPage)
{
    // Page 1's XResolution value lies where page 2's next-directory offset is: linking a
    // new page there would change page 1.
    PageBitmap bitmap = tifftest::RandomBitmap(8, 2, 1, 50);
    tifftest::TiffBuilder tiff;
    std::uint32_t strip = tiff.AddData(tifftest::PackedRows(bitmap));
    std::uint32_t first = tiff.AddIfd(tifftest::BilevelFields(8, 2, 1, strip, 2));
    std::vector<tifftest::Field> fields =
        tifftest::BilevelFields(8, 2, 1, tiff.AddData(tifftest::PackedRows(bitmap)), 2);
    std::uint32_t second = tiff.AddIfd(fields);
    tiff.AddData(std::vector<std::uint8_t>(8, 1));
    std::vector<std::uint8_t> bytes = tiff.Bytes();
    std::uint32_t link = second + 2 + 12 * static_cast<std::uint32_t>(fields.size());
    faxtiff::Put32(bytes.data() + first + 2 + 12 * 9 + 8, link,
                   ByteOrder::LittleEndian);  // entry 9: tag 282
    tifftest::ScratchDir dir;
    std::string path = dir / "overlap.tif";
    tifftest::WriteFileBytes(path, bytes);
    EXPECT_EQ(AppendError(path, FaxPage(1)), path + ": cannot append to this file: the last page's "
                                                    "next-directory offset lies inside a tag value "
                                                    "of page 1");
    EXPECT_EQ(tifftest::ReadFileBytes(path), bytes);
}

TEST(PageAppend, AFailedWriteIsReportedAndLeavesTheOldPages)
{
    tifftest::ScratchDir dir;
    std::string path = dir / "fax.tif";
    faxtiff::AppendPage(path, FaxPage(1), SaveCompression::Group4);
    // The page's data is the first write, the link the second.
    const std::pair<int, std::string> failures[] = {
        {0, "adding the new page: writing "},
        {1, "linking the new page: writing 4 bytes at offset "}};
    for (const auto& [writesBefore, step] : failures) {
        {
            faxtiff::WriteFaults faults;
            faxtiff::PageAppender appender(path, std::nullopt, &faults);
            faults.writesBeforeFailure = writesBefore;
            std::string message =
                tifftest::ErrorOf([&] { appender.Append(FaxPage(2), SaveCompression::Group4); });
            EXPECT_TRUE(message.starts_with(path + ": " + step)) << message;
            EXPECT_TRUE(message.ends_with("; the file still holds its old pages")) << message;
        }
        EXPECT_EQ(faxtiff::TiffFile::Open(path).PageCount(), 1u);
    }
    // Data of the failed appends stays unlinked; the next page goes after it.
    faxtiff::AppendPage(path, FaxPage(3), SaveCompression::Group4);
    faxtiff::TiffFile file = faxtiff::TiffFile::Open(path);
    ASSERT_EQ(file.PageCount(), 2u);
    EXPECT_EQ(file.ReadPage(1).Bitmap(), FaxPage(3).Bitmap());
}

TEST(PageAppend, AnAppenderHoldsItsFileUntilItIsGone)
{
    tifftest::ScratchDir dir;
    std::string path = dir / "fax.tif";
    {
        faxtiff::PageAppender first(path);
        faxtiff::PageAppender second(path);  // no file yet: nothing to hold
        first.Append(FaxPage(1), SaveCompression::Group4);
        EXPECT_EQ(AppendError(path, FaxPage(9)),
                  path + ": cannot append to this file: the file is in use by another program");
        // The second one would create the file too, but the name is taken now.
        std::string message =
            tifftest::ErrorOf([&] { second.Append(FaxPage(9), SaveCompression::Group4); });
        EXPECT_TRUE(message.starts_with(path + ".partial: cannot rename it to " + path + " ("))
            << message;
        first.Append(FaxPage(2), SaveCompression::Group4);
    }
    faxtiff::AppendPage(path, FaxPage(3), SaveCompression::Group4);
    faxtiff::TiffFile file = faxtiff::TiffFile::Open(path);
    ASSERT_EQ(file.PageCount(), 3u);
    for (std::uint32_t i = 0; i < 3; ++i)
        EXPECT_EQ(file.ReadPage(i).Bitmap(), FaxPage(i + 1).Bitmap());
    EXPECT_FALSE(tifftest::FileExists(path + ".partial"));
}

TEST(PageAppend, CleansUpTemporaryFilesAndRefusesADirectory)
{
    tifftest::ScratchDir dir;
    std::string path = dir / "fax.tif";
    std::string temp = path + ".partial";
    // What a killed creation leaves: removed by the next appender, whether it creates
    // the file or appends to it.
    tifftest::WriteFileBytes(temp, {'I', 'I', 42, 0});
    faxtiff::AppendPage(path, FaxPage(1), SaveCompression::Group4);
    EXPECT_FALSE(tifftest::FileExists(temp));
    tifftest::WriteFileBytes(temp, {'I', 'I', 42, 0});
    faxtiff::PageAppender appender(path);
    EXPECT_FALSE(tifftest::FileExists(temp));

    // A creation that fails removes its temporary file and leaves the old one.
    std::string page = dir / "page.tif";
    faxtiff::WritePage(page, FaxPage(1), SaveCompression::Group4);
    faxtiff::WriteFaults faults{1};
    EXPECT_THROW(faxtiff::WritePage(page, FaxPage(2), SaveCompression::Group4, &faults), TiffError);
    EXPECT_FALSE(tifftest::FileExists(page + ".partial"));
    EXPECT_EQ(faxtiff::LoadPage(page).Bitmap(), FaxPage(1).Bitmap());

    std::string folder = dir / "folder.tif";
    tifftest::MakeDirectory(folder);
    EXPECT_EQ(AppendError(folder, FaxPage(1)),
              folder + ": cannot append to this file: it is a directory, not a file");
}

TEST(PageAppend, RefusesToWriteAPageItWouldNotReadBack)
{
    // Blank pages up to 8192 pixels wide stay within the bound in Group 4; much wider
    // ones come to too many pixels a byte and are refused, uncompressed they are fine.
    tifftest::ScratchDir dir;
    std::string path = dir / "blank.tif";
    faxtiff::WritePage(path, Page::FromBitmap(PageBitmap(8192, 2000)), SaveCompression::Group4);
    EXPECT_EQ(faxtiff::LoadPage(path).Bitmap(), PageBitmap(8192, 2000));
    std::string message = tifftest::ErrorOf([&] {
        faxtiff::WritePage(path, Page::FromBitmap(PageBitmap(10000, 2000)),
                           SaveCompression::Group4);
    });
    EXPECT_TRUE(message.starts_with(path + ": page of 10000 x 2000 pixels in ")) << message;
    faxtiff::WritePage(path, Page::FromBitmap(PageBitmap(10000, 2000)), SaveCompression::None);
    EXPECT_EQ(faxtiff::LoadPage(path).Bitmap(), PageBitmap(10000, 2000));
}

TEST(PageAppend, WritePageReplacesTheFileWithOnePage)
{
    tifftest::ScratchDir dir;
    std::string path = dir / "page.tif";
    faxtiff::WritePage(path, FaxPage(1), SaveCompression::Group4);
    faxtiff::WritePage(path, FaxPage(2), SaveCompression::Group3OneD);
    faxtiff::TiffFile file = faxtiff::TiffFile::Open(path);
    ASSERT_EQ(file.PageCount(), 1u);
    EXPECT_EQ(file.ReadPage(0).Bitmap(), FaxPage(2).Bitmap());
    EXPECT_FALSE(tifftest::FileExists(path + ".partial"));
}

TEST(SaveCompressionCodes, KnowsItsCodesAndRefusesOthers)
{
    for (std::uint16_t code = 1; code <= 5; ++code)
        EXPECT_EQ(static_cast<std::uint16_t>(faxtiff::SaveCompressionFromCode(code)), code);
    for (std::uint16_t code : {0, 6, 32773})
        EXPECT_THROW(faxtiff::SaveCompressionFromCode(code), TiffError);
}

}  // namespace
