// Against tools no one here wrote: pages made by ImageMagick and libtiff are read, and
// what the engine writes is read back by them (tiffinfo -D, tiffcmp, compare -metric AE).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "tiff/page.h"
#include "tiff/page_append.h"
#include "tiff/tiff_error.h"
#include "tiff_test_support.h"

namespace {

using faxtiff::PageBitmap;
using faxtiff::SaveCompression;

const char kConvert[] = "/usr/bin/convert";  // not the sandbox's stand-in of the same name
const char kCompare[] = "/usr/bin/compare";

struct Result {
    int status;
    std::string out;  // stdout and stderr together
};

Result RunTool(const std::string& command)
{
    char log[] = "/tmp/faxtiff-interop-XXXXXX";
    int fd = mkstemp(log);
    if (fd < 0)
        return {-1, "cannot make a log file"};
    close(fd);
    int status = std::system((command + " >" + std::string(log) + " 2>&1").c_str());
    std::ifstream in(log);
    std::stringstream text;
    text << in.rdbuf();
    std::remove(log);
    return {status, text.str()};
}

void MustRun(const std::string& command)
{
    Result r = RunTool(command);
    ASSERT_EQ(r.status, 0) << command << "\n" << r.out;
}

std::string Faxtiff()
{
    const char* path = std::getenv("FAXTIFF");
    return path ? path : "faxtiff";
}

// A P4 PBM as a bitmap: 1 = black.
PageBitmap ReadPbm(const std::string& path)
{
    std::vector<std::uint8_t> bytes = tifftest::ReadFileBytes(path);
    std::size_t at = 0;
    auto field = [&] {
        while (at < bytes.size() && std::isspace(bytes[at]))
            ++at;
        std::string s;
        while (at < bytes.size() && !std::isspace(bytes[at]))
            s += static_cast<char>(bytes[at++]);
        return s;
    };
    if (field() != "P4")
        throw std::runtime_error(path + " is not a P4 PBM");
    std::uint32_t width = std::stoul(field()), length = std::stoul(field());
    ++at;
    PageBitmap bitmap(width, length);
    for (std::uint32_t y = 0; y < length; ++y, at += bitmap.RowBytes())
        std::copy(bytes.begin() + at, bytes.begin() + at + bitmap.RowBytes(), bitmap.Row(y));
    return bitmap;
}

// Black pixels of a page as the engine holds it (samples as stored).
PageBitmap BlackOf(const faxtiff::Page& page)
{
    PageBitmap black = page.Bitmap();
    if (page.Info().photometric == 1)
        for (std::uint32_t y = 0; y < black.Length(); ++y)
            for (std::uint32_t x = 0; x < black.Width(); ++x)
                black.SetPixel(x, y, !black.Pixel(x, y));
    return black;
}

class Interop : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir_ = new tifftest::ScratchDir;
        // A fax-width page with shapes and text, as bilevel Group 4, and its pixels as PBM.
        MustRun(std::string(kConvert) + " -size 1728x260 xc:white -fill black" +
                " -draw 'rectangle 100,20 700,60' -draw 'circle 1000,130 1000,230' -draw 'line "
                "0,259 1727,0'" +
                " -pointsize 30 -annotate +200+200 'Kelvarin fax 0123456789'" +
                " -monochrome -compress Group4 -density 204x196 -units PixelsPerInch " +
                Path("base.tif"));
        MustRun(std::string(kConvert) + " " + Path("base.tif") + " " + Path("base.pbm"));
        MustRun("tiffcp -c none " + Path("base.tif") + " " + Path("ref.tif"));
    }
    static void TearDownTestSuite() { delete dir_; }

    static std::string Path(const std::string& name) { return *dir_ / name; }

    static tifftest::ScratchDir* dir_;
};

tifftest::ScratchDir* Interop::dir_ = nullptr;

struct Variant {
    std::string name;
    std::string command;  // {in} and {out} are replaced
};

std::string Expand(std::string command, const std::string& in, const std::string& out)
{
    for (auto [key, value] : {std::pair<std::string, std::string>{"{in}", in}, {"{out}", out}})
        for (std::size_t at; (at = command.find(key)) != std::string::npos;)
            command.replace(at, key.size(), value);
    return command;
}

const std::vector<Variant>& Variants()
{
    static const std::vector<Variant> variants = {
        {"tiffcp-none", "tiffcp -c none {in} {out}"},
        {"tiffcp-packbits", "tiffcp -c packbits {in} {out}"},
        {"tiffcp-g3-1d", "tiffcp -c g3:1d {in} {out}"},
        {"tiffcp-g3-1d-fill", "tiffcp -c g3:1d:fill {in} {out}"},
        {"tiffcp-g3-2d", "tiffcp -c g3:2d {in} {out}"},
        {"tiffcp-g3-2d-fill", "tiffcp -c g3:2d:fill {in} {out}"},
        {"tiffcp-g4", "tiffcp -c g4 {in} {out}"},
        {"tiffcp-none-lsb", "tiffcp -c none -f lsb2msb {in} {out}"},
        {"tiffcp-packbits-lsb", "tiffcp -c packbits -f lsb2msb {in} {out}"},
        {"tiffcp-g3-2d-lsb", "tiffcp -c g3:2d -f lsb2msb {in} {out}"},
        {"tiffcp-g4-lsb", "tiffcp -c g4 -f lsb2msb {in} {out}"},
        {"tiffcp-g3-1d-big-strips", "tiffcp -B -c g3:1d -r 17 {in} {out}"},
        {"tiffcp-g4-big-strips", "tiffcp -B -c g4 -r 50 {in} {out}"},
        {"tiffcp-g3-2d-fill-lsb-big-strips", "tiffcp -B -c g3:2d:fill -f lsb2msb -r 33 {in} {out}"},
        {"im-fax", std::string(kConvert) + " {in} -compress Fax {out}"},
        {"im-group4", std::string(kConvert) + " {in} -compress Group4 {out}"},
        {"im-rle", std::string(kConvert) + " {in} -compress RLE {out}"},
        {"im-none", std::string(kConvert) + " {in} -compress None {out}"},
        {"im-group4-min-is-black",
         std::string(kConvert) +
             " {in} -define quantum:polarity=min-is-black -compress Group4 {out}"},
    };
    return variants;
}

TEST_F(Interop, ReadsWhatLibtiffAndImageMagickWriteAndTheyReadWhatItWrites)
{
    PageBitmap expected = ReadPbm(Path("base.pbm"));
    std::string dest = Path("merged.tif");
    const SaveCompression codes[] = {SaveCompression::Group4, SaveCompression::Group3OneD,
                                     SaveCompression::Group3TwoD, SaveCompression::ModifiedHuffman,
                                     SaveCompression::None};
    std::vector<std::string> names;
    for (const Variant& v : Variants()) {
        std::string file = Path(v.name + ".tif");
        MustRun(Expand(v.command, Path("base.tif"), file));
        faxtiff::Page page = faxtiff::LoadPage(file);
        ASSERT_EQ(BlackOf(page), expected) << v.name;
        EXPECT_EQ(page.Info().width, 1728u);
        SaveCompression code = codes[names.size() % 5];
        faxtiff::AppendPage(dest, page, code);
        names.push_back(v.name);
    }

    // libtiff decodes every page without a complaint.
    Result info = RunTool("tiffinfo -D " + dest);
    ASSERT_EQ(info.status, 0) << info.out;
    EXPECT_EQ(info.out.find("rror"), std::string::npos) << info.out;
    EXPECT_EQ(info.out.find("arning"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("Page Number: " + std::to_string(names.size() - 1) + "-0"),
              std::string::npos);
    EXPECT_NE(info.out.find("Resolution: 204, 196 pixels/inch"), std::string::npos);

    // ImageMagick sees the same pixels on every page.
    MustRun(std::string(kConvert) + " " + dest + " " + Path("back-%d.pbm"));
    for (std::size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(ReadPbm(Path("back-" + std::to_string(i) + ".pbm")), expected) << names[i];
    // And libtiff's own comparison, page by page, against the uncompressed original.
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == "im-group4-min-is-black")
            continue;  // photometric differs by design
        std::string page = Path("page.tif");
        MustRun("tiffcp -c none " + dest + "," + std::to_string(i) + " " + page);
        Result cmp = RunTool("tiffcmp " + Path("ref.tif") + " " + page);
        EXPECT_EQ(cmp.status, 0) << names[i] << "\n" << cmp.out;
    }
    for (int i : {0, static_cast<int>(names.size()) - 1}) {
        Result ae = RunTool(std::string(kCompare) + " -metric AE " + dest + "[" +
                            std::to_string(i) + "] " + Path("base.pbm") + " null:");
        EXPECT_EQ(ae.out, "0") << "page " << i;
    }
}

TEST_F(Interop, AppendsToALibtiffBigEndianFileTouchingOnlyTheLink)
{
    std::string dest = Path("big.tif");
    MustRun("tiffcp -B -c g4 " + Path("base.tif") + " " + Path("base.tif") + " " + dest);
    std::vector<std::uint8_t> before = tifftest::ReadFileBytes(dest);
    MustRun(Faxtiff() + " append --compression 3 " + dest + " " + Path("base.tif"));
    std::vector<std::uint8_t> after = tifftest::ReadFileBytes(dest);
    int changed = 0;
    for (std::size_t i = 0; i < before.size(); ++i)
        changed += before[i] != after[i];
    EXPECT_LE(changed, 4);
    Result info = RunTool("tiffinfo -D " + dest);
    ASSERT_EQ(info.status, 0) << info.out;
    EXPECT_NE(info.out.find("TIFF Directory at offset"), std::string::npos);
    EXPECT_NE(info.out.find("Page Number: 2-0"), std::string::npos) << info.out;
    Result ae = RunTool(std::string(kCompare) + " -metric AE " + dest + "[2] " + Path("base.pbm") +
                        " null:");
    EXPECT_EQ(ae.out, "0");
}

TEST_F(Interop, CopiesGroup4StripsAsTheyAre)
{
    std::string source = Path("copy-source.tif"), dest = Path("copy-dest.tif");
    MustRun("tiffcp -c g4 " + Path("base.tif") + " " + source);
    MustRun(Faxtiff() + " append --compression 4 " + dest + " " + source);
    EXPECT_EQ(faxtiff::LoadPage(dest).Strips(), faxtiff::LoadPage(source).Strips());
    MustRun("tiffcmp " + source + " " + dest);
}

TEST_F(Interop, RefusesColourGreyTilesAndOtherCodecsSayingWhy)
{
    struct Refusal {
        std::string command;
        std::string message;
    };
    const Refusal refusals[] = {
        {std::string(kConvert) + " -size 40x20 xc:red -compress LZW {out}",
         "unsupported compression 5 (LZW)"},
        {std::string(kConvert) + " -size 40x20 xc:red -compress None {out}", "3 samples per pixel"},
        {std::string(kConvert) + " -size 40x20 gradient: -depth 8 -compress None {out}",
         "8 bits per sample"},
        {"tiffcp -c zip {in} {out}", "unsupported compression 8 (Deflate)"},
        {"tiffcp -c g4 -t -w 256 -l 64 {in} {out}", "tiled pages are not supported"},
    };
    for (const Refusal& r : refusals) {
        std::string file = Path("refused.tif");
        MustRun(Expand(r.command, Path("base.tif"), file));
        Result out = RunTool(Faxtiff() + " append " + Path("never.tif") + " " + file);
        EXPECT_EQ(out.status >> 8, 1) << out.out;
        EXPECT_NE(out.out.find("page 1: " + r.message), std::string::npos) << out.out;
        std::remove(file.c_str());
    }
    EXPECT_THROW(faxtiff::ListPages(Path("never.tif")), faxtiff::TiffError);
}

TEST_F(Interop, FaxtiffToolListsAndAppends)
{
    std::string dest = Path("tool.tif");
    MustRun(Faxtiff() + " append " + dest + " " + Path("tiffcp-g3-1d.tif") + " " +
            Path("tiffcp-none.tif"));
    Result info = RunTool(Faxtiff() + " info " + dest);
    EXPECT_EQ(info.status, 0);
    EXPECT_EQ(info.out, "page 1: 1728 x 260, compression 4 (CCITT Group 4), 204 x 196 dpi\n"
                        "page 2: 1728 x 260, compression 4 (CCITT Group 4), 204 x 196 dpi\n");
    Result bad = RunTool(Faxtiff() + " append --compression 9 " + dest + " " + Path("base.tif"));
    EXPECT_EQ(bad.status >> 8, 1);
    EXPECT_NE(bad.out.find("unknown compression code 9"), std::string::npos) << bad.out;
    std::string text = Path("notes.txt");
    tifftest::WriteFileBytes(text, {'n', 'o', 't', 'e', 's'});
    Result refused = RunTool(Faxtiff() + " append " + text + " " + Path("base.tif"));
    EXPECT_EQ(refused.status >> 8, 1);
    EXPECT_NE(refused.out.find("cannot append to this file: not a TIFF file"), std::string::npos)
        << refused.out;
    EXPECT_EQ(tifftest::ReadFileBytes(text).size(), 5u);
    EXPECT_EQ(RunTool(Faxtiff()).status >> 8, 2);
}

std::size_t PageCountOf(const std::string& path)
{
    return faxtiff::TiffFile::Open(path).PageCount();
}

std::size_t Count(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

TEST_F(Interop, AFailedWriteIsReportedAndNeverLandsLater)
{
    // The kernel fails one write or flush (strace injects the error): the tool must
    // report it for the right file, and the page must not turn up in the file afterwards.
    if (RunTool("strace -o /dev/null true").status != 0)
        GTEST_SKIP() << "strace cannot trace here";
    std::string dest = Path("eio.tif");
    MustRun(Faxtiff() + " append " + dest + " " + Path("base.tif"));
    std::vector<std::uint8_t> before = tifftest::ReadFileBytes(dest);
    std::string append = Faxtiff() + " append " + dest + " " + Path("base.tif");
    // The page's data is the first write, the link the second; the first flush comes
    // before the link, the second after it.
    Result link = RunTool(
        "strace -f -o /dev/null -e trace=pwrite64 -e inject=pwrite64:error=EIO:when=2 " + append);
    EXPECT_EQ(link.status >> 8, 1) << link.out;
    EXPECT_NE(
        link.out.find("faxtiff: " + dest + ": linking the new pages: writing 4 bytes at offset "),
        std::string::npos)
        << link.out;
    EXPECT_NE(link.out.find("(Input/output error); the file still holds its old pages\n"),
              std::string::npos)
        << link.out;
    EXPECT_EQ(tifftest::ReadFileBytes(dest), before);

    Result data =
        RunTool("strace -f -o /dev/null -e trace=fsync -e inject=fsync:error=EIO:when=1 " + append);
    EXPECT_EQ(data.status >> 8, 1) << data.out;
    EXPECT_NE(data.out.find(
                  dest +
                  ": saving the new pages: flushing to disk failed (Input/output error); the file "
                  "still holds its old pages"),
              std::string::npos)
        << data.out;
    EXPECT_EQ(tifftest::ReadFileBytes(dest), before);

    Result linked =
        RunTool("strace -f -o /dev/null -e trace=fsync -e inject=fsync:error=EIO:when=2 " + append);
    EXPECT_EQ(linked.status >> 8, 1) << linked.out;
    EXPECT_NE(
        linked.out.find(dest +
                        ": saving the new pages: flushing to disk failed (Input/output error); the "
                        "pages are in the file, but may not be on the disk"),
        std::string::npos)
        << linked.out;
    EXPECT_EQ(PageCountOf(dest), 2u);
}

TEST_F(Interop, AppendersOnOneFileTakeTurnsOrAreToldItIsInUse)
{
    std::string dest = Path("shared.tif"), source = Path("ten.tif");
    std::string tenTimes;
    for (int i = 0; i < 10; ++i)
        tenTimes += " " + Path("base.tif");
    MustRun(Faxtiff() + " append " + source + tenTimes);
    MustRun(Faxtiff() + " append " + dest + " " + Path("base.tif"));
    // flock(1) holds the lock the tool takes.
    Result held = RunTool("flock " + dest + " " + Faxtiff() + " append " + dest + " " + source);
    EXPECT_EQ(held.status >> 8, 1) << held.out;
    EXPECT_EQ(held.out,
              "faxtiff: " + dest +
                  ": cannot append to this file: the file is in use by another program\n");

    // Two at once, each adding ten pages: whichever way they meet, the file stays sound.
    std::size_t expected = 1;
    for (int trial = 0; trial < 4; ++trial) {
        std::string append = Faxtiff() + " append " + dest + " " + source;
        Result both = RunTool("(" + append + " & a=$!; " + append +
                              " & b=$!; wait $a; echo \"exit $?\"; wait $b; echo \"exit $?\")");
        std::size_t added = Count(both.out, "exit 0"), refused = Count(both.out, "exit 1");
        EXPECT_EQ(added + refused, 2u) << both.out;
        EXPECT_EQ(Count(both.out, "is in use by another program"), refused) << both.out;
        expected += 10 * added;
    }
    faxtiff::TiffFile file = faxtiff::TiffFile::Open(dest);
    ASSERT_EQ(file.PageCount(), expected);
    for (std::size_t i = 0; i < file.PageCount(); ++i)
        file.ReadPage(i);
}

TEST_F(Interop, FaxtiffToolNamesTheFileItsErrorIsAbout)
{
    std::string dest = Path("named.tif"), folder = Path("folder.tif"), broken = Path("broken.tif");
    MustRun("mkdir -p " + folder);
    Result toFolder = RunTool(Faxtiff() + " append " + folder + " " + Path("base.tif"));
    EXPECT_EQ(toFolder.out, "faxtiff: " + folder +
                                ": cannot append to this file: it is a directory, not a file\n");

    // Page 2 of 3 is short of data: nothing goes in.
    PageBitmap bitmap = ReadPbm(Path("base.pbm"));
    std::vector<std::uint8_t> rows = tifftest::PackedRows(bitmap);
    tifftest::TiffBuilder tiff;
    for (std::uint32_t bytes : {rows.size(), rows.size() - 1, rows.size()})
        tiff.AddIfd(
            tifftest::BilevelFields(bitmap.Width(), bitmap.Length(), 1, tiff.AddData(rows), bytes));
    tifftest::WriteFileBytes(broken, tiff.Bytes());
    MustRun(Faxtiff() + " append " + dest + " " + Path("base.tif"));
    std::vector<std::uint8_t> before = tifftest::ReadFileBytes(dest);
    Result refused = RunTool(Faxtiff() + " append " + dest + " " + Path("base.tif") + " " + broken);
    EXPECT_EQ(refused.status >> 8, 1);
    EXPECT_TRUE(refused.out.starts_with("faxtiff: " + broken + ": page 2: strip 1 holds "))
        << refused.out;
    EXPECT_EQ(tifftest::ReadFileBytes(dest), before);
}

TEST(InteropSeeds, EverySeedFileReadsOrIsRefusedCleanly)
{
    // The fuzz seeds are small real files from the same tools; the engine must take the
    // bilevel ones and refuse the others, never anything else.
    const char* seeds = std::getenv("FAXTIFF_SEEDS");
    ASSERT_NE(seeds, nullptr);
    Result list = RunTool(std::string("ls ") + seeds);
    std::istringstream names(list.out);
    int read = 0, refused = 0;
    for (std::string name; std::getline(names, name);) {
        try {
            faxtiff::TiffFile file = faxtiff::TiffFile::Open(std::string(seeds) + "/" + name);
            for (std::size_t i = 0; i < file.PageCount(); ++i)
                file.ReadPage(i);
            ++read;
        } catch (const faxtiff::TiffError&) {
            ++refused;
            EXPECT_TRUE(name == "tiled.tif" || name == "grey.tif" || name == "rgb-lzw.tif" ||
                        name.starts_with("found-"))
                << name;
        }
    }
    EXPECT_GE(refused, 3);
    EXPECT_GE(read, 20);
}

}  // namespace
