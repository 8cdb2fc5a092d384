// Appending whole files: all pages go in or none, and errors name the file they are about.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tiff/fax_encoder.h"
#include "tiff/file.h"
#include "tiff/file_merge.h"
#include "tiff/page.h"
#include "tiff/page_append.h"
#include "tiff/tiff_error.h"
#include "tiff_test_support.h"

namespace {

using faxtiff::PageBitmap;
using faxtiff::SaveCompression;
using faxtiff::TiffError;

PageBitmap Sheet(std::uint32_t seed) { return tifftest::TextLikeBitmap(300, 90, seed); }

// A file of three Group 4 pages (sheets 1 to 3); page `broken`'s data is cut short.
std::vector<std::uint8_t> ThreePages(int broken)
{
    tifftest::TiffBuilder tiff;
    for (int i = 1; i <= 3; ++i) {
        std::vector<std::uint8_t> coded;
        faxtiff::fax::EncodeFax(Sheet(i), faxtiff::fax::FaxScheme::Group4, coded);
        if (i == broken)
            coded.resize(coded.size() / 2);
        tiff.AddIfd(tifftest::BilevelFields(300, 90, 4, tiff.AddData(coded),
                                            static_cast<std::uint32_t>(coded.size())));
    }
    return tiff.Bytes();
}

std::string MergeError(const std::string& dest, const std::vector<std::string>& sources,
                       faxtiff::WriteFaults* faults = nullptr)
{
    return tifftest::ErrorOf(
        [&] { faxtiff::AppendFiles(dest, sources, SaveCompression::Group4, faults); });
}

TEST(AppendFiles, ABrokenSourcePageLeavesTheDestinationAsItWas)
{
    tifftest::ScratchDir dir;
    std::string dest = dir / "fax.tif", good = dir / "good.tif", broken = dir / "broken.tif";
    tifftest::WriteFileBytes(good, ThreePages(0));
    tifftest::WriteFileBytes(broken, ThreePages(2));
    std::string message = MergeError(dest, {good, broken});
    EXPECT_TRUE(message.starts_with(broken + ": page 2: strip 1: row ")) << message;
    EXPECT_FALSE(tifftest::FileExists(dest));
    EXPECT_FALSE(tifftest::FileExists(dest + ".partial"));

    faxtiff::AppendFiles(dest, {good}, SaveCompression::Group4);
    std::vector<std::uint8_t> before = tifftest::ReadFileBytes(dest);
    message = MergeError(dest, {good, broken});
    EXPECT_TRUE(message.starts_with(broken + ": page 2: ")) << message;
    message = MergeError(dest, {good, dir / "missing.tif"});
    EXPECT_TRUE(message.starts_with(dir / "missing.tif: cannot open the file (")) << message;
    EXPECT_EQ(tifftest::ReadFileBytes(dest), before);

    faxtiff::TiffFile file = faxtiff::TiffFile::Open(dest);
    ASSERT_EQ(file.PageCount(), 3u);
    for (std::uint32_t i = 0; i < 3; ++i)
        EXPECT_EQ(file.ReadPage(i).Bitmap(), Sheet(i + 1));
}

// Fails each write of the merge in turn, into a new file and into one holding a page.
TEST(AppendFiles, ADestinationThatFailsAtAnyWriteKeepsItsOldPagesOnly)
{
    tifftest::ScratchDir dir;
    std::string source = dir / "three.tif";
    tifftest::WriteFileBytes(source, ThreePages(0));
    for (bool existing : {false, true}) {
        std::string dest = dir / (existing ? "existing.tif" : "new.tif");
        if (existing)
            faxtiff::AppendPage(dest, faxtiff::Page::FromBitmap(Sheet(9)), SaveCompression::Group4);
        std::vector<std::uint8_t> before =
            existing ? tifftest::ReadFileBytes(dest) : std::vector<std::uint8_t>{};
        int failing = 0;
        for (;; ++failing) {
            faxtiff::WriteFaults faults{failing};
            std::string message = MergeError(dest, {source}, &faults);
            bool failed = faults.writesBeforeFailure == -1;
            if (!failed) {
                ASSERT_EQ(message, "no error");
                break;
            }
            EXPECT_TRUE(message.starts_with(dest + ": ")) << message;
            EXPECT_TRUE(message.ends_with(existing ? "; the file still holds its old pages"
                                                   : "; the file was not created"))
                << message;
            EXPECT_FALSE(tifftest::FileExists(dest + ".partial")) << failing;
            if (existing)
                EXPECT_EQ(tifftest::ReadFileBytes(dest), before) << failing;
            else
                EXPECT_FALSE(tifftest::FileExists(dest)) << failing;
        }
        EXPECT_GE(failing, 5);  // three pages, two links between them, the link to them
        faxtiff::TiffFile file = faxtiff::TiffFile::Open(dest);
        ASSERT_EQ(file.PageCount(), existing ? 4u : 3u);
        for (std::uint32_t i = 0; i < 3; ++i)
            EXPECT_EQ(file.ReadPage(file.PageCount() - 3 + i).Bitmap(), Sheet(i + 1));
    }
}

}  // namespace
