#pragma once
// Builds one TIFF directory (IFD) with its out-of-line values, in a file's byte order.
#include <cstdint>
#include <vector>

#include "tiff/byte_order.h"
#include "tiff/page_info.h"

namespace faxtiff {

class IfdWriter {
public:
    explicit IfdWriter(ByteOrder order) : order_(order) {}

    void Shorts(std::uint16_t tag, const std::vector<std::uint16_t>& values);
    void Longs(std::uint16_t tag, const std::vector<std::uint32_t>& values);
    void RationalValue(std::uint16_t tag, Rational value);

    std::uint16_t EntryCount() const { return static_cast<std::uint16_t>(fields_.size()); }

    // Appends the directory (tags sorted, next-directory offset 0) and then the values
    // that do not fit in an entry. `fileOffset` is where out[0] lies in the file; the
    // directory starts at an even offset. Returns the directory's offset.
    std::uint64_t AppendTo(std::vector<std::uint8_t>& out, std::uint64_t fileOffset) const;

private:
    struct Field {
        std::uint16_t tag;
        std::uint16_t type;
        std::uint32_t count;
        std::vector<std::uint8_t> data;  // in the file's byte order
    };
    ByteOrder order_;
    std::vector<Field> fields_;
};

}  // namespace faxtiff
