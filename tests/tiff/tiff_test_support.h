#pragma once
// Shared by the engine's tests: pages to code, TIFF files put together by hand (so
// tests do not check the engine's writer with itself), and scratch files.
#include <cstdint>
#include <string>
#include <vector>

#include "tiff/byte_order.h"
#include "tiff/page_bitmap.h"
#include "tiff/tiff_error.h"

namespace tifftest {

// Deterministic page contents.
faxtiff::PageBitmap RandomBitmap(std::uint32_t width, std::uint32_t length, std::uint32_t seed,
                                 int blackPercent);
// Lines of small "glyphs" with white margins and gaps: long white runs, short black ones.
faxtiff::PageBitmap TextLikeBitmap(std::uint32_t width, std::uint32_t length, std::uint32_t seed);
faxtiff::PageBitmap FilledBitmap(std::uint32_t width, std::uint32_t length, bool black);
// Pixel x is black when x / period is odd.
faxtiff::PageBitmap StripedBitmap(std::uint32_t width, std::uint32_t length, std::uint32_t period);

enum Type : std::uint16_t { kByte = 1, kAscii = 2, kShort = 3, kLong = 4, kRational = 5 };

struct Field {
    std::uint16_t tag;
    std::uint16_t type;
    std::vector<std::uint32_t> values;  // RATIONAL: numerator, denominator pairs
};

// A TIFF file laid out piece by piece: header, data blocks, directories.
class TiffBuilder {
public:
    explicit TiffBuilder(faxtiff::ByteOrder order = faxtiff::ByteOrder::LittleEndian);

    // Raw bytes at the end of the file; returns their offset.
    std::uint32_t AddData(const std::vector<std::uint8_t>& bytes);
    // A directory linked after the previous one (or from the header); returns its offset.
    std::uint32_t AddIfd(const std::vector<Field>& fields);
    // Rewrites a directory's next-directory offset, e.g. to make a loop.
    void SetNext(std::uint32_t ifd, std::uint32_t next);
    void SetFirstIfd(std::uint32_t offset);

    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

private:
    faxtiff::ByteOrder order_;
    std::vector<std::uint8_t> bytes_;
    std::uint32_t lastNextPosition_ = 4;  // the header's first-directory offset
};

// The tags of a plain bilevel page over one strip, for tests to change or extend.
std::vector<Field> BilevelFields(std::uint32_t width, std::uint32_t length,
                                 std::uint16_t compression, std::uint32_t stripOffset,
                                 std::uint32_t stripBytes);
// Replaces (or adds) the field with this tag.
void SetField(std::vector<Field>& fields, Field field);
void RemoveField(std::vector<Field>& fields, std::uint16_t tag);

// Uncompressed rows of (width + 7) / 8 bytes, as a strip holds them.
std::vector<std::uint8_t> PackedRows(const faxtiff::PageBitmap& bitmap);

// A file with one uncompressed page of this bitmap.
std::vector<std::uint8_t>
UncompressedTiff(const faxtiff::PageBitmap& bitmap,
                 faxtiff::ByteOrder order = faxtiff::ByteOrder::LittleEndian);

// A fresh directory under the system's temporary directory, removed afterwards.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    std::string operator/(const std::string& name) const;

private:
    std::string path_;
};

// The message of the TiffError step throws, or "no error".
template <typename Step>
std::string ErrorOf(Step step)
{
    try {
        step();
    } catch (const faxtiff::TiffError& e) {
        return e.what();
    }
    return "no error";
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
bool FileExists(const std::string& path);
void MakeDirectory(const std::string& path);

// Each byte with its bits in the other order: FillOrder 2's bytes of FillOrder 1's.
std::vector<std::uint8_t> BitsReversed(std::vector<std::uint8_t> bytes);

}  // namespace tifftest
