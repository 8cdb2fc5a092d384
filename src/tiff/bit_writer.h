#pragma once
// Writes code words most significant bit first into a byte vector.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace faxtiff::fax {

class BitWriter {
public:
    explicit BitWriter(std::vector<std::uint8_t>& out) : out_(out) {}

    // Makes room for at least `bytes` more bytes; Put never checks.
    void Reserve(std::size_t bytes)
    {
        if (out_.size() < used_ + bytes + 8)
            out_.resize(std::max(out_.size() * 2, used_ + bytes + 8));
    }

    // length 0..25
    void Put(std::uint32_t bits, int length)
    {
        window_ = window_ << length | bits;
        count_ += length;
        if (count_ >= 32) {
            count_ -= 32;
            std::uint32_t word = static_cast<std::uint32_t>(window_ >> count_);
            std::uint8_t* p = out_.data() + used_;
            p[0] = static_cast<std::uint8_t>(word >> 24);
            p[1] = static_cast<std::uint8_t>(word >> 16);
            p[2] = static_cast<std::uint8_t>(word >> 8);
            p[3] = static_cast<std::uint8_t>(word);
            used_ += 4;
        }
    }

    // Zero bits up to the next byte boundary.
    void AlignToByte() { Put(0, (8 - count_ % 8) % 8); }
    // Zero bits until the stream position is `bit` modulo 8.
    void PadTo(int bit) { Put(0, (bit - count_ % 8 + 8) % 8); }

    // Flushes the last partial byte (zero-padded) and cuts the vector to the bytes written.
    void Finish()
    {
        AlignToByte();
        while (count_ > 0) {
            count_ -= 8;
            out_[used_++] = static_cast<std::uint8_t>(window_ >> count_);
        }
        out_.resize(used_);
    }

private:
    std::vector<std::uint8_t>& out_;
    std::size_t used_ = 0;
    std::uint64_t window_ = 0;
    int count_ = 0;  // bits in the window not yet written
};

}  // namespace faxtiff::fax
