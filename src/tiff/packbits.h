#pragma once
// PackBits (TIFF compression 32773) decoding.
#include <cstdint>
#include <span>

namespace faxtiff {

// Unpacks data into out, which it must fill exactly; throws TiffError when the data
// ends first or a run goes past the end. Bytes after a full out are ignored.
void UnpackBits(std::span<const std::uint8_t> data, std::span<std::uint8_t> out);

}  // namespace faxtiff
