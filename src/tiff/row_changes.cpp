#include "tiff/row_changes.h"

#include <bit>

namespace faxtiff::fax {
namespace {

std::uint64_t LoadBigEndian64(const std::uint8_t* p)
{
    return std::uint64_t{p[0]} << 56 | std::uint64_t{p[1]} << 48 | std::uint64_t{p[2]} << 40 |
           std::uint64_t{p[3]} << 32 | std::uint64_t{p[4]} << 24 | std::uint64_t{p[5]} << 16 |
           std::uint64_t{p[6]} << 8 | std::uint64_t{p[7]};
}

void StoreBigEndian64(std::uint8_t* p, std::uint64_t v)
{
    for (int i = 0; i < 8; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (56 - 8 * i));
}

}  // namespace

int FindChanges(const std::uint8_t* row, int width, std::int32_t* out)
{
    int count = 0;
    std::uint64_t previous = 0;  // the pixel before the row is white
    int words = (width + 63) / 64;
    for (int w = 0; w < words; ++w) {
        std::uint64_t pixels = LoadBigEndian64(row + 8 * w);
        std::uint64_t changed = pixels ^ (pixels >> 1 | previous << 63);
        previous = pixels & 1;
        while (changed != 0) {
            int bit = std::countl_zero(changed);
            int x = 64 * w + bit;
            if (x >= width)
                return count;
            out[count++] = x;
            changed &= ~(std::uint64_t{1} << 63 >> bit);
        }
    }
    return count;
}

void PaintChanges(const std::int32_t* changes, int count, int width, std::uint8_t* row)
{
    // Each change flips every pixel from it to the end of its word; a word starts with
    // the colour the one before it ended with.
    int words = (width + 63) / 64;
    std::uint64_t carry = 0;
    int i = 0;
    for (int w = 0; w < words; ++w) {
        std::uint64_t pixels = carry;
        int end = 64 * (w + 1);
        for (; i < count && changes[i] < end; ++i)
            pixels ^= ~std::uint64_t{0} >> (changes[i] - 64 * w);
        carry = pixels & 1 ? ~std::uint64_t{0} : 0;
        if (w == words - 1 && width % 64)
            pixels &= ~std::uint64_t{0} << (64 - width % 64);
        StoreBigEndian64(row + 8 * w, pixels);
    }
}

}  // namespace faxtiff::fax
