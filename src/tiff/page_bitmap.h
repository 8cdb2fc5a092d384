#pragma once
// A decoded bilevel page: one bit per pixel, rows top to bottom, the leftmost pixel in
// the most significant bit. Bits are the page's samples as stored: with photometric
// interpretation 0 (WhiteIsZero) a 1 bit is black, with 1 (BlackIsZero) a 1 bit is
// white. The CCITT codecs call 0 bits "white", whatever the interpretation.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace faxtiff {

// The largest page the engine takes: memory stays bounded whatever a file claims.
inline constexpr std::uint32_t kMaxPageWidth = 32768;
inline constexpr std::uint32_t kMaxPageLength = 65535;
inline constexpr std::size_t kMaxBitmapBytes = std::size_t{32} << 20;

// At most this many pixels a byte of coded strips, so a small file cannot cost much
// work. Group 4 codes a blank row in one bit, the densest any coding gets: a blank page
// W pixels wide comes to 8 * W pixels a byte, so every page up to 8192 pixels wide
// passes. Fax pages are at most 4864 wide (A3 at 16 dots per mm); an A3 sheet scanned
// at 600 dpi is 7016.
inline constexpr std::uint64_t kMaxPixelsPerCodedByte = 65536;

// Throws TiffError when a page of this size coded in `codedBytes` exceeds that bound;
// pages are checked when read and when written, so what the engine writes it reads.
void CheckCodedSize(std::uint32_t width, std::uint32_t length, std::uint64_t codedBytes);

class PageBitmap {
public:
    PageBitmap() = default;
    // All bits 0. Throws TiffError when the size is 0 or beyond the limits above.
    PageBitmap(std::uint32_t width, std::uint32_t length);
    // Throws as the constructor would, without allocating.
    static void CheckSize(std::uint32_t width, std::uint32_t length);

    std::uint32_t Width() const { return width_; }
    std::uint32_t Length() const { return length_; }
    // Bytes from one row to the next: a multiple of 8, so codecs can work in 64-bit
    // words. The bits after the last pixel of a row are kept 0.
    std::size_t Stride() const { return stride_; }
    // Bytes that hold a row's pixels: (width + 7) / 8.
    std::size_t RowBytes() const { return (width_ + 7) / 8; }

    const std::uint8_t* Row(std::uint32_t y) const { return bits_.data() + y * stride_; }
    std::uint8_t* Row(std::uint32_t y) { return bits_.data() + y * stride_; }

    bool Pixel(std::uint32_t x, std::uint32_t y) const
    {
        return (Row(y)[x >> 3] >> (7 - (x & 7))) & 1;
    }
    void SetPixel(std::uint32_t x, std::uint32_t y, bool on)
    {
        std::uint8_t mask = static_cast<std::uint8_t>(0x80 >> (x & 7));
        std::uint8_t& byte = Row(y)[x >> 3];
        byte =
            on ? static_cast<std::uint8_t>(byte | mask) : static_cast<std::uint8_t>(byte & ~mask);
    }

    bool operator==(const PageBitmap& other) const = default;

private:
    std::uint32_t width_ = 0;
    std::uint32_t length_ = 0;
    std::size_t stride_ = 0;
    std::vector<std::uint8_t> bits_;
};

}  // namespace faxtiff
