#pragma once
// TIFF numbers in either byte order.
#include <cstdint>

namespace faxtiff {

enum class ByteOrder { LittleEndian, BigEndian };

inline std::uint16_t Get16(const std::uint8_t* p, ByteOrder order)
{
    return order == ByteOrder::LittleEndian ? static_cast<std::uint16_t>(p[0] | p[1] << 8)
                                            : static_cast<std::uint16_t>(p[0] << 8 | p[1]);
}

inline std::uint32_t Get32(const std::uint8_t* p, ByteOrder order)
{
    return order == ByteOrder::LittleEndian
               ? std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
                     std::uint32_t{p[3]} << 24
               : std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 |
                     std::uint32_t{p[3]};
}

inline void Put16(std::uint8_t* p, std::uint16_t v, ByteOrder order)
{
    if (order == ByteOrder::LittleEndian) {
        p[0] = static_cast<std::uint8_t>(v);
        p[1] = static_cast<std::uint8_t>(v >> 8);
    } else {
        p[0] = static_cast<std::uint8_t>(v >> 8);
        p[1] = static_cast<std::uint8_t>(v);
    }
}

inline void Put32(std::uint8_t* p, std::uint32_t v, ByteOrder order)
{
    if (order == ByteOrder::LittleEndian) {
        Put16(p, static_cast<std::uint16_t>(v), order);
        Put16(p + 2, static_cast<std::uint16_t>(v >> 16), order);
    } else {
        Put16(p, static_cast<std::uint16_t>(v >> 16), order);
        Put16(p + 2, static_cast<std::uint16_t>(v), order);
    }
}

}  // namespace faxtiff
