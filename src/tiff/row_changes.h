#pragma once
// A row as its changing elements: the positions where a pixel differs from the one
// before it (the row starts white, so even entries start black runs). This is the
// form both codecs work in; these convert it from and to bitmap rows.
#include <cstdint>

namespace faxtiff::fax {

// Extra entries after a row's changes, each set to the width, so the 2D coders can
// look at b1, b2 without bounds checks.
inline constexpr int kChangeSentinels = 4;

// Writes the changes of a bitmap row (stride padded to 8 bytes) to out, which has room
// for width + kChangeSentinels entries; returns their count. Bits past the width are ignored.
int FindChanges(const std::uint8_t* row, int width, std::int32_t* out);

// Writes the row the changes describe (stride padded to 8 bytes), bits past the width 0.
void PaintChanges(const std::int32_t* changes, int count, int width, std::uint8_t* row);

inline void AddSentinels(std::int32_t* changes, int count, int width)
{
    for (int i = 0; i < kChangeSentinels; ++i)
        changes[count + i] = width;
}

}  // namespace faxtiff::fax
