#pragma once
// FNV-1a, 64 bits: tells files and pages apart, not proof against anyone making a match.
#include <cstddef>
#include <cstdint>

class FnvHash {
public:
    void Add(const void* data, std::size_t size)
    {
        const auto* bytes = static_cast<const unsigned char*>(data);
        for (std::size_t i = 0; i < size; ++i)
            value_ = (value_ ^ bytes[i]) * 0x100000001B3ull;
    }
    template <typename Number>
    void AddNumber(Number number)
    {
        Add(&number, sizeof number);
    }
    std::uint64_t Value() const { return value_; }

private:
    std::uint64_t value_ = 0xCBF29CE484222325ull;
};
