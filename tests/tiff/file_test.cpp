// The engine's file: failures reported as they happen, one appender at a time,
// leftovers of killed writers cleaned up, names others hold left alone.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tiff/file.h"
#include "tiff/tiff_error.h"
#include "tiff_test_support.h"

namespace {

using faxtiff::File;
using tifftest::ErrorOf;

std::vector<std::uint8_t> Bytes(std::initializer_list<std::uint8_t> bytes) { return bytes; }

TEST(File, WritesWhatItSaysAndNothingElse)
{
    tifftest::ScratchDir dir;
    std::string path = dir / "a.tif";
    {
        faxtiff::WriteFaults faults;
        File file = File::Create(path, &faults);
        file.Write(0, Bytes({1, 2, 3, 4}));
        faults.writesBeforeFailure = 1;
        file.Write(4, Bytes({5}));
        EXPECT_EQ(ErrorOf([&] {
                      file.Write(5, Bytes({6, 7}));
                  }).substr(0, 36),
                  "writing 2 bytes at offset 5 failed (");
        EXPECT_EQ(faults.writesBeforeFailure, -1);
        file.Write(8, Bytes({9}));
        EXPECT_EQ(file.Size(), 9u);
        std::uint8_t back[3];
        file.Read(3, back);
        EXPECT_EQ(std::vector<std::uint8_t>(back, back + 3), Bytes({4, 5, 0}));
        EXPECT_EQ(ErrorOf([&] { file.Read(8, back); }).substr(0, 34),
                  "data at offset 8 (3 bytes) runs pa");
        file.Flush();
    }
    EXPECT_EQ(tifftest::ReadFileBytes(path), Bytes({1, 2, 3, 4, 5, 0, 0, 0, 9}));
}

TEST(File, OneAppenderAtATimeAndNoDirectories)
{
    tifftest::ScratchDir dir;
    std::string path = dir / "a.tif";
    EXPECT_FALSE(File::OpenForAppending(path).has_value());
    EXPECT_EQ(ErrorOf([&] { File::OpenForReading(path); }).substr(0, 22), "cannot open the file (");
    tifftest::WriteFileBytes(path, Bytes({1, 2}));
    {
        std::optional<File> first = File::OpenForAppending(path);
        ASSERT_TRUE(first.has_value());
        EXPECT_EQ(ErrorOf([&] { File::OpenForAppending(path); }),
                  "the file is in use by another program");
    }
    EXPECT_EQ(File::OpenForAppending(path)->Size(), 2u);

    std::string folder = dir / "folder";
    tifftest::MakeDirectory(folder);
    EXPECT_EQ(ErrorOf([&] { File::OpenForAppending(folder); }), "it is a directory, not a file");
    EXPECT_EQ(ErrorOf([&] { File::OpenForReading(folder); }), "it is a directory, not a file");
}

TEST(File, CreateAndMoveLeaveWhatOthersHoldAlone)
{
    tifftest::ScratchDir dir;
    std::string temp = dir / "a.tif.partial", dest = dir / "a.tif";
    tifftest::WriteFileBytes(temp, Bytes({1, 2, 3}));  // left by a killed writer
    {
        File file = File::Create(temp);
        EXPECT_EQ(file.Size(), 0u);
        EXPECT_NE(ErrorOf([&] { File::Create(temp); }), "no error");
        faxtiff::RemoveLeftover(temp);
        EXPECT_TRUE(tifftest::FileExists(temp));

        file.Write(0, Bytes({7}));
        tifftest::WriteFileBytes(dest, Bytes({8}));
        EXPECT_EQ(ErrorOf([&] { file.MoveTo(dest, false); }).substr(0, 20 + dest.size()),
                  "cannot rename it to " + dest);
        EXPECT_EQ(tifftest::ReadFileBytes(dest), Bytes({8}));
        file.MoveTo(dest, true);
        EXPECT_FALSE(tifftest::FileExists(temp));
        file.Write(1, Bytes({9}));  // still open, under its new name
    }
    EXPECT_EQ(tifftest::ReadFileBytes(dest), Bytes({7, 9}));
    faxtiff::RemoveLeftover(dest);
    EXPECT_FALSE(tifftest::FileExists(dest));

    File::Create(temp).Delete();
    EXPECT_FALSE(tifftest::FileExists(temp));
}

}  // namespace
