#pragma once
// The CCITT T.4/T.6 code words, as tables for the encoder (code of a run or mode) and
// for the decoder (what the next bits mean, found with one or two array lookups).
#include <cstdint>
#include <vector>

namespace faxtiff::fax {

enum Color : int { kWhite = 0, kBlack = 1 };

struct Code {
    std::uint16_t bits = 0;  // right-aligned
    std::uint8_t length = 0;
};

struct EncodeTables {
    Code terminating[2][64];  // [color][run 0..63]
    Code makeup[2][41];       // [color][run / 64], runs 64..2560
};
const EncodeTables& Encoding();

inline constexpr Code kEol{0x001, 12};
inline constexpr Code kPass{0x1, 4};
inline constexpr Code kHorizontal{0x1, 3};
// Vertical mode codes by a1 - b1 + 3 (VL3 ... V0 ... VR3).
inline constexpr Code kVertical[7] = {{0x02, 7}, {0x02, 6}, {0x2, 3}, {0x1, 1},
                                      {0x3, 3},  {0x03, 6}, {0x03, 7}};

enum class Kind : std::uint8_t {
    Invalid,
    Terminating,  // value: run length
    Makeup,       // value: run length
    Eol,
    Uncompressed,  // entrance to uncompressed mode
    Pass,
    Horizontal,
    Vertical,  // value: a1 - b1
    Subtable,  // value: index of the subtable, length: its index bits
};

struct Entry {
    std::int16_t value = 0;
    std::uint8_t length = 0;  // bits of the code word
    Kind kind = Kind::Invalid;
};

// Prefix code lookup over the next 16 bits of the stream (codes are at most 13 long).
class LookupTable {
public:
    static constexpr int kFirstBits = 8;

    struct Word {
        std::uint32_t bits;
        int length;
        Kind kind;
        int value;
    };
    explicit LookupTable(const std::vector<Word>& words);

    Entry Find(std::uint32_t next16) const
    {
        Entry e = entries_[next16 >> (16 - kFirstBits)];
        if (e.kind == Kind::Subtable)
            e = entries_[e.value +
                         ((next16 >> (16 - kFirstBits - e.length)) & ((1u << e.length) - 1))];
        return e;
    }

private:
    std::vector<Entry> entries_;
};

const LookupTable& WhiteRuns();
const LookupTable& BlackRuns();
const LookupTable& Modes2D();

}  // namespace faxtiff::fax
