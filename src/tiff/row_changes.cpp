#include "tiff/row_changes.h"

#include <bit>
#include <cstring>

namespace faxtiff::fax {
namespace {

std::uint64_t LoadBigEndian64(const std::uint8_t* p) {
    return std::uint64_t{p[0]} << 56 | std::uint64_t{p[1]} << 48 | std::uint64_t{p[2]} << 40 |
           std::uint64_t{p[3]} << 32 | std::uint64_t{p[4]} << 24 | std::uint64_t{p[5]} << 16 |
           std::uint64_t{p[6]} << 8 | std::uint64_t{p[7]};
}

void SetSpan(std::uint8_t* row, int from, int to) {
    int first = from >> 3, last = (to - 1) >> 3;
    std::uint8_t head = static_cast<std::uint8_t>(0xFF >> (from & 7));
    std::uint8_t tail = static_cast<std::uint8_t>(0xFF << (7 - ((to - 1) & 7)));
    if (first == last) {
        row[first] |= head & tail;
        return;
    }
    row[first] |= head;
    std::memset(row + first + 1, 0xFF, static_cast<std::size_t>(last - first - 1));
    row[last] |= tail;
}

}  // namespace

int FindChanges(const std::uint8_t* row, int width, std::int32_t* out) {
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
            if (x >= width) return count;
            out[count++] = x;
            changed &= ~(std::uint64_t{1} << 63 >> bit);
        }
    }
    return count;
}

void PaintChanges(const std::int32_t* changes, int count, int width, std::uint8_t* row) {
    for (int i = 0; i < count; i += 2) {
        int end = i + 1 < count ? changes[i + 1] : width;
        SetSpan(row, changes[i], end);
    }
}

}  // namespace faxtiff::fax
