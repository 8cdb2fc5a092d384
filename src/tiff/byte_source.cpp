#include "tiff/byte_source.h"

#include <cstring>

#include "tiff/tiff_error.h"

namespace faxtiff {

void ByteSource::CheckRange(std::uint64_t offset, std::size_t size) const
{
    if (offset > Size() || size > Size() - offset)
        throw TiffError("data at offset " + std::to_string(offset) + " (" + std::to_string(size) +
                        " bytes) runs past the end of the file (" + std::to_string(Size()) +
                        " bytes)");
}

void MemorySource::Read(std::uint64_t offset, std::span<std::uint8_t> out) const
{
    CheckRange(offset, out.size());
    if (!out.empty())
        std::memcpy(out.data(), bytes_.data() + offset, out.size());
}

}  // namespace faxtiff
