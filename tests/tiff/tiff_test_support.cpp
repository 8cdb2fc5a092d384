#include "tiff_test_support.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace tifftest {

using faxtiff::PageBitmap;

PageBitmap RandomBitmap(std::uint32_t width, std::uint32_t length, std::uint32_t seed,
                        int blackPercent)
{
    PageBitmap bitmap(width, length);
    std::mt19937 rng(seed);
    for (std::uint32_t y = 0; y < length; ++y)
        for (std::uint32_t x = 0; x < width; ++x)
            bitmap.SetPixel(x, y, static_cast<int>(rng() % 100) < blackPercent);
    return bitmap;
}

PageBitmap TextLikeBitmap(std::uint32_t width, std::uint32_t length, std::uint32_t seed)
{
    PageBitmap bitmap(width, length);
    std::mt19937 rng(seed);
    for (std::uint32_t top = 20; top + 24 < length; top += 30) {
        std::uint32_t x = 40 + rng() % 20;
        while (x + 20 < width - 40) {
            std::uint32_t glyph = rng();
            std::uint32_t w = 6 + glyph % 10;
            for (std::uint32_t y = 0; y < 20; ++y)
                for (std::uint32_t dx = 0; dx < w; ++dx)
                    if ((glyph >> ((y * 3 + dx) % 29)) & 1)
                        bitmap.SetPixel(x + dx, top + y, true);
            x += w + 2 + (rng() % 6 == 0 ? 12 : 0);
        }
    }
    return bitmap;
}

PageBitmap FilledBitmap(std::uint32_t width, std::uint32_t length, bool black)
{
    PageBitmap bitmap(width, length);
    for (std::uint32_t y = 0; y < length; ++y)
        for (std::uint32_t x = 0; x < width; ++x)
            bitmap.SetPixel(x, y, black);
    return bitmap;
}

PageBitmap StripedBitmap(std::uint32_t width, std::uint32_t length, std::uint32_t period)
{
    PageBitmap bitmap(width, length);
    for (std::uint32_t y = 0; y < length; ++y)
        for (std::uint32_t x = 0; x < width; ++x)
            bitmap.SetPixel(x, y, (x / period) % 2 == 1);
    return bitmap;
}

TiffBuilder::TiffBuilder(faxtiff::ByteOrder order) : order_(order), bytes_(8)
{
    bool little = order == faxtiff::ByteOrder::LittleEndian;
    bytes_[0] = bytes_[1] = little ? 'I' : 'M';
    faxtiff::Put16(bytes_.data() + 2, 42, order);
}

std::uint32_t TiffBuilder::AddData(const std::vector<std::uint8_t>& bytes)
{
    std::uint32_t offset = static_cast<std::uint32_t>(bytes_.size());
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return offset;
}

std::uint32_t TiffBuilder::AddIfd(const std::vector<Field>& fields)
{
    if (bytes_.size() % 2)
        bytes_.push_back(0);
    std::uint32_t ifd = static_cast<std::uint32_t>(bytes_.size());
    std::size_t extra = ifd + 2 + 12 * fields.size() + 4;
    bytes_.resize(extra);
    faxtiff::Put16(bytes_.data() + ifd, static_cast<std::uint16_t>(fields.size()), order_);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const Field& f = fields[i];
        std::size_t size = f.type == kShort ? 2 : f.type == kLong || f.type == kRational ? 4 : 1;
        std::uint32_t count =
            static_cast<std::uint32_t>(f.type == kRational ? f.values.size() / 2 : f.values.size());
        std::vector<std::uint8_t> data(f.values.size() * size);
        for (std::size_t v = 0; v < f.values.size(); ++v) {
            std::uint8_t* p = data.data() + v * size;
            if (size == 1)
                *p = static_cast<std::uint8_t>(f.values[v]);
            if (size == 2)
                faxtiff::Put16(p, static_cast<std::uint16_t>(f.values[v]), order_);
            if (size == 4)
                faxtiff::Put32(p, f.values[v], order_);
        }
        std::size_t entry = ifd + 2 + 12 * i;
        faxtiff::Put16(bytes_.data() + entry, f.tag, order_);
        faxtiff::Put16(bytes_.data() + entry + 2, f.type, order_);
        faxtiff::Put32(bytes_.data() + entry + 4, count, order_);
        if (data.size() <= 4) {
            std::copy(data.begin(), data.end(),
                      bytes_.begin() + static_cast<std::ptrdiff_t>(entry + 8));
        } else {
            faxtiff::Put32(bytes_.data() + entry + 8, static_cast<std::uint32_t>(bytes_.size()),
                           order_);
            bytes_.insert(bytes_.end(), data.begin(), data.end());
        }
    }
    faxtiff::Put32(bytes_.data() + lastNextPosition_, ifd, order_);
    lastNextPosition_ = static_cast<std::uint32_t>(ifd + 2 + 12 * fields.size());
    return ifd;
}

void TiffBuilder::SetNext(std::uint32_t ifd, std::uint32_t next)
{
    std::uint16_t count = faxtiff::Get16(bytes_.data() + ifd, order_);
    faxtiff::Put32(bytes_.data() + ifd + 2 + 12 * count, next, order_);
}

void TiffBuilder::SetFirstIfd(std::uint32_t offset)
{
    faxtiff::Put32(bytes_.data() + 4, offset, order_);
}

std::vector<Field> BilevelFields(std::uint32_t width, std::uint32_t length,
                                 std::uint16_t compression, std::uint32_t stripOffset,
                                 std::uint32_t stripBytes)
{
    return {
        {256, kLong, {width}},        {257, kLong, {length}},     {258, kShort, {1}},
        {259, kShort, {compression}}, {262, kShort, {0}},         {273, kLong, {stripOffset}},
        {277, kShort, {1}},           {278, kLong, {length}},     {279, kLong, {stripBytes}},
        {282, kRational, {204, 1}},   {283, kRational, {196, 1}}, {296, kShort, {2}},
    };
}

void SetField(std::vector<Field>& fields, Field field)
{
    RemoveField(fields, field.tag);
    fields.push_back(field);
    std::sort(fields.begin(), fields.end(),
              [](const Field& a, const Field& b) { return a.tag < b.tag; });
}

void RemoveField(std::vector<Field>& fields, std::uint16_t tag)
{
    fields.erase(std::remove_if(fields.begin(), fields.end(),
                                [tag](const Field& f) { return f.tag == tag; }),
                 fields.end());
}

std::vector<std::uint8_t> PackedRows(const PageBitmap& bitmap)
{
    std::vector<std::uint8_t> rows;
    for (std::uint32_t y = 0; y < bitmap.Length(); ++y)
        rows.insert(rows.end(), bitmap.Row(y), bitmap.Row(y) + bitmap.RowBytes());
    return rows;
}

std::vector<std::uint8_t> UncompressedTiff(const PageBitmap& bitmap, faxtiff::ByteOrder order)
{
    TiffBuilder tiff(order);
    std::vector<std::uint8_t> rows = PackedRows(bitmap);
    std::uint32_t strip = tiff.AddData(rows);
    tiff.AddIfd(BilevelFields(bitmap.Width(), bitmap.Length(), 1, strip,
                              static_cast<std::uint32_t>(rows.size())));
    return tiff.Bytes();
}

ScratchDir::ScratchDir()
{
    static std::atomic<int> counter{0};
    std::random_device random;
    std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::filesystem::path dir =
            base / ("faxtiff-test-" + std::to_string(random()) + "-" + std::to_string(counter++));
        if (std::filesystem::create_directory(dir)) {
            path_ = dir.string();
            return;
        }
    }
    throw std::runtime_error("cannot make a scratch directory");
}

ScratchDir::~ScratchDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string ScratchDir::operator/(const std::string& name) const
{
    return (std::filesystem::path(path_) / name).string();
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

bool FileExists(const std::string& path) { return std::filesystem::exists(path); }

void MakeDirectory(const std::string& path) { std::filesystem::create_directory(path); }

std::vector<std::uint8_t> BitsReversed(std::vector<std::uint8_t> bytes)
{
    for (std::uint8_t& b : bytes) {
        std::uint8_t r = 0;
        for (int i = 0; i < 8; ++i)
            if (b & (1 << i))
                r |= static_cast<std::uint8_t>(0x80 >> i);
        b = r;
    }
    return bytes;
}

}  // namespace tifftest
