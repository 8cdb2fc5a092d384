#include "tiff/fax_tables.h"

#include <stdexcept>
#include <string_view>

namespace faxtiff::fax {
namespace {

struct RunWord {
    std::string_view bits;
    int run;
};

// Terminating codes (runs 0 to 63) then make-up codes (64 to 1728).
constexpr RunWord kWhiteWords[] = {
    {"00110101", 0},     {"000111", 1},       {"0111", 2},         {"1000", 3},
    {"1011", 4},         {"1100", 5},         {"1110", 6},         {"1111", 7},
    {"10011", 8},        {"10100", 9},        {"00111", 10},       {"01000", 11},
    {"001000", 12},      {"000011", 13},      {"110100", 14},      {"110101", 15},
    {"101010", 16},      {"101011", 17},      {"0100111", 18},     {"0001100", 19},
    {"0001000", 20},     {"0010111", 21},     {"0000011", 22},     {"0000100", 23},
    {"0101000", 24},     {"0101011", 25},     {"0010011", 26},     {"0100100", 27},
    {"0011000", 28},     {"00000010", 29},    {"00000011", 30},    {"00011010", 31},
    {"00011011", 32},    {"00010010", 33},    {"00010011", 34},    {"00010100", 35},
    {"00010101", 36},    {"00010110", 37},    {"00010111", 38},    {"00101000", 39},
    {"00101001", 40},    {"00101010", 41},    {"00101011", 42},    {"00101100", 43},
    {"00101101", 44},    {"00000100", 45},    {"00000101", 46},    {"00001010", 47},
    {"00001011", 48},    {"01010010", 49},    {"01010011", 50},    {"01010100", 51},
    {"01010101", 52},    {"00100100", 53},    {"00100101", 54},    {"01011000", 55},
    {"01011001", 56},    {"01011010", 57},    {"01011011", 58},    {"01001010", 59},
    {"01001011", 60},    {"00110010", 61},    {"00110011", 62},    {"00110100", 63},
    {"11011", 64},       {"10010", 128},      {"010111", 192},     {"0110111", 256},
    {"00110110", 320},   {"00110111", 384},   {"01100100", 448},   {"01100101", 512},
    {"01101000", 576},   {"01100111", 640},   {"011001100", 704},  {"011001101", 768},
    {"011010010", 832},  {"011010011", 896},  {"011010100", 960},  {"011010101", 1024},
    {"011010110", 1088}, {"011010111", 1152}, {"011011000", 1216}, {"011011001", 1280},
    {"011011010", 1344}, {"011011011", 1408}, {"010011000", 1472}, {"010011001", 1536},
    {"010011010", 1600}, {"011000", 1664},    {"010011011", 1728},
};

constexpr RunWord kBlackWords[] = {
    {"0000110111", 0},
    {"010", 1},
    {"11", 2},
    {"10", 3},
    {"011", 4},
    {"0011", 5},
    {"0010", 6},
    {"00011", 7},
    {"000101", 8},
    {"000100", 9},
    {"0000100", 10},
    {"0000101", 11},
    {"0000111", 12},
    {"00000100", 13},
    {"00000111", 14},
    {"000011000", 15},
    {"0000010111", 16},
    {"0000011000", 17},
    {"0000001000", 18},
    {"00001100111", 19},
    {"00001101000", 20},
    {"00001101100", 21},
    {"00000110111", 22},
    {"00000101000", 23},
    {"00000010111", 24},
    {"00000011000", 25},
    {"000011001010", 26},
    {"000011001011", 27},
    {"000011001100", 28},
    {"000011001101", 29},
    {"000001101000", 30},
    {"000001101001", 31},
    {"000001101010", 32},
    {"000001101011", 33},
    {"000011010010", 34},
    {"000011010011", 35},
    {"000011010100", 36},
    {"000011010101", 37},
    {"000011010110", 38},
    {"000011010111", 39},
    {"000001101100", 40},
    {"000001101101", 41},
    {"000011011010", 42},
    {"000011011011", 43},
    {"000001010100", 44},
    {"000001010101", 45},
    {"000001010110", 46},
    {"000001010111", 47},
    {"000001100100", 48},
    {"000001100101", 49},
    {"000001010010", 50},
    {"000001010011", 51},
    {"000000100100", 52},
    {"000000110111", 53},
    {"000000111000", 54},
    {"000000100111", 55},
    {"000000101000", 56},
    {"000001011000", 57},
    {"000001011001", 58},
    {"000000101011", 59},
    {"000000101100", 60},
    {"000001011010", 61},
    {"000001100110", 62},
    {"000001100111", 63},
    {"0000001111", 64},
    {"000011001000", 128},
    {"000011001001", 192},
    {"000001011011", 256},
    {"000000110011", 320},
    {"000000110100", 384},
    {"000000110101", 448},
    {"0000001101100", 512},
    {"0000001101101", 576},
    {"0000001001010", 640},
    {"0000001001011", 704},
    {"0000001001100", 768},
    {"0000001001101", 832},
    {"0000001110010", 896},
    {"0000001110011", 960},
    {"0000001110100", 1024},
    {"0000001110101", 1088},
    {"0000001110110", 1152},
    {"0000001110111", 1216},
    {"0000001010010", 1280},
    {"0000001010011", 1344},
    {"0000001010100", 1408},
    {"0000001010101", 1472},
    {"0000001011010", 1536},
    {"0000001011011", 1600},
    {"0000001100100", 1664},
    {"0000001100101", 1728},
};

// Make-up codes both colours share, for long rows.
constexpr RunWord kExtendedMakeupWords[] = {
    {"00000001000", 1792},  {"00000001100", 1856},  {"00000001101", 1920},  {"000000010010", 1984},
    {"000000010011", 2048}, {"000000010100", 2112}, {"000000010101", 2176}, {"000000010110", 2240},
    {"000000010111", 2304}, {"000000011100", 2368}, {"000000011101", 2432}, {"000000011110", 2496},
    {"000000011111", 2560},
};

constexpr std::string_view kEolWord = "000000000001";
constexpr std::string_view kUncompressed1D = "000000001111";
constexpr std::string_view kUncompressed2D = "0000001111";

std::uint32_t BitsOf(std::string_view word)
{
    std::uint32_t bits = 0;
    for (char c : word)
        bits = bits << 1 | (c == '1');
    return bits;
}

Code CodeOf(std::string_view word)
{
    return Code{static_cast<std::uint16_t>(BitsOf(word)), static_cast<std::uint8_t>(word.size())};
}

LookupTable::Word WordOf(std::string_view bits, Kind kind, int value)
{
    return {BitsOf(bits), static_cast<int>(bits.size()), kind, value};
}

template <std::size_t N>
std::vector<LookupTable::Word> RunTableWords(const RunWord (&words)[N])
{
    std::vector<LookupTable::Word> out;
    for (const RunWord& w : words)
        out.push_back(WordOf(w.bits, w.run < 64 ? Kind::Terminating : Kind::Makeup, w.run));
    for (const RunWord& w : kExtendedMakeupWords)
        out.push_back(WordOf(w.bits, Kind::Makeup, w.run));
    out.push_back(WordOf(kEolWord, Kind::Eol, 0));
    out.push_back(WordOf(kUncompressed1D, Kind::Uncompressed, 0));
    return out;
}

template <std::size_t N>
void FillEncoding(const RunWord (&words)[N], int color, EncodeTables& tables)
{
    for (const RunWord& w : words) {
        if (w.run < 64)
            tables.terminating[color][w.run] = CodeOf(w.bits);
        else
            tables.makeup[color][w.run / 64] = CodeOf(w.bits);
    }
    for (const RunWord& w : kExtendedMakeupWords)
        tables.makeup[color][w.run / 64] = CodeOf(w.bits);
}

}  // namespace

LookupTable::LookupTable(const std::vector<Word>& words)
{
    constexpr int first = kFirstBits;
    entries_.assign(std::size_t{1} << first, Entry{});
    // Subtable index bits per first-level prefix, from the longest code under it.
    std::vector<int> subBits(std::size_t{1} << first, 0);
    for (const Word& w : words)
        if (w.length > first) {
            int& bits = subBits[w.bits >> (w.length - first)];
            if (w.length - first > bits)
                bits = w.length - first;
        }
    for (std::size_t prefix = 0; prefix < subBits.size(); ++prefix)
        if (subBits[prefix] > 0) {
            entries_[prefix] = Entry{static_cast<std::int16_t>(entries_.size()),
                                     static_cast<std::uint8_t>(subBits[prefix]), Kind::Subtable};
            entries_.resize(entries_.size() + (std::size_t{1} << subBits[prefix]));
        }
    for (const Word& w : words) {
        Entry entry{static_cast<std::int16_t>(w.value), static_cast<std::uint8_t>(w.length),
                    w.kind};
        std::size_t start, count;
        if (w.length <= first) {
            start = std::size_t{w.bits} << (first - w.length);
            count = std::size_t{1} << (first - w.length);
        } else {
            const Entry& sub = entries_[w.bits >> (w.length - first)];
            int rest = w.length - first;
            start = sub.value + ((std::size_t{w.bits} & ((1u << rest) - 1)) << (sub.length - rest));
            count = std::size_t{1} << (sub.length - rest);
        }
        for (std::size_t i = start; i < start + count; ++i) {
            if (entries_[i].kind != Kind::Invalid)
                throw std::logic_error("fax code table is not a prefix code");
            entries_[i] = entry;
        }
    }
}

const EncodeTables& Encoding()
{
    static const EncodeTables tables = [] {
        EncodeTables t;
        FillEncoding(kWhiteWords, kWhite, t);
        FillEncoding(kBlackWords, kBlack, t);
        return t;
    }();
    return tables;
}

const LookupTable& WhiteRuns()
{
    static const LookupTable table(RunTableWords(kWhiteWords));
    return table;
}

const LookupTable& BlackRuns()
{
    static const LookupTable table(RunTableWords(kBlackWords));
    return table;
}

const LookupTable& Modes2D()
{
    static const LookupTable table({
        WordOf("0001", Kind::Pass, 0),
        WordOf("001", Kind::Horizontal, 0),
        WordOf("1", Kind::Vertical, 0),
        WordOf("011", Kind::Vertical, 1),
        WordOf("000011", Kind::Vertical, 2),
        WordOf("0000011", Kind::Vertical, 3),
        WordOf("010", Kind::Vertical, -1),
        WordOf("000010", Kind::Vertical, -2),
        WordOf("0000010", Kind::Vertical, -3),
        WordOf(kUncompressed2D, Kind::Uncompressed, 0),
        WordOf(kEolWord, Kind::Eol, 0),
    });
    return table;
}

}  // namespace faxtiff::fax
