#pragma once
// Reads a CCITT bit stream most significant bit first through a 64-bit window. Past
// the end of the data it reads zero bits, which no code word consists of alone, so a
// decoder stops there with an error; Overrun() tells a cut-off stream from a bad one.
#include <cstddef>
#include <cstdint>
#include <span>

namespace faxtiff::fax {

class BitReader {
public:
    explicit BitReader(std::span<const std::uint8_t> data) : data_(data.data()), size_(data.size())
    {
    }

    // Makes at least 32 bits available to Peek.
    void Refill()
    {
        if (count_ >= 32)
            return;
        if (next_ + 8 <= size_) {
            const std::uint8_t* p = data_ + next_;
            std::uint64_t word = std::uint64_t{p[0]} << 56 | std::uint64_t{p[1]} << 48 |
                                 std::uint64_t{p[2]} << 40 | std::uint64_t{p[3]} << 32 |
                                 std::uint64_t{p[4]} << 24 | std::uint64_t{p[5]} << 16 |
                                 std::uint64_t{p[6]} << 8 | std::uint64_t{p[7]};
            window_ |= word >> count_;
            next_ += (63 - count_) >> 3;
            count_ |= 56;
        } else {
            while (count_ <= 56) {
                std::uint64_t byte = next_ < size_ ? data_[next_] : 0;
                window_ |= byte << (56 - count_);
                ++next_;
                count_ += 8;
            }
        }
    }

    // The next n bits (1..32), right-aligned; needs Refill first.
    std::uint32_t Peek(int n) const { return static_cast<std::uint32_t>(window_ >> (64 - n)); }
    void Consume(int n)
    {
        window_ <<= n;
        count_ -= n;
    }
    std::uint32_t Take(int n)
    {
        Refill();
        std::uint32_t bits = Peek(n);
        Consume(n);
        return bits;
    }

    // Skips to the next byte boundary of the stream.
    void AlignToByte() { Consume(count_ & 7); }

    // Bits read so far, counted from the start of the data.
    std::uint64_t Position() const { return std::uint64_t{next_} * 8 - count_; }
    // Bits in the data.
    std::uint64_t Size() const { return std::uint64_t{size_} * 8; }
    bool Overrun() const { return Position() > Size(); }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t next_ = 0;      // next byte to load into the window (may pass size_)
    std::uint64_t window_ = 0;  // unread bits, left-aligned
    int count_ = 0;             // valid bits in the window
};

}  // namespace faxtiff::fax
