#include "tiff/packbits.h"

#include <cstring>
#include <string>

#include "tiff/tiff_error.h"

namespace faxtiff {

void UnpackBits(std::span<const std::uint8_t> data, std::span<std::uint8_t> out)
{
    std::size_t in = 0, done = 0;
    while (done < out.size()) {
        if (in >= data.size())
            throw TiffError("PackBits data ends after " + std::to_string(done) + " of " +
                            std::to_string(out.size()) + " bytes");
        int header = static_cast<std::int8_t>(data[in++]);
        if (header == -128)
            continue;  // no operation
        if (header >= 0) {
            std::size_t n = static_cast<std::size_t>(header) + 1;
            if (n > data.size() - in)
                throw TiffError("PackBits literal run goes past the end of the data");
            if (n > out.size() - done)
                throw TiffError("PackBits run goes past the end of the strip");
            std::memcpy(out.data() + done, data.data() + in, n);
            in += n;
            done += n;
        } else {
            std::size_t n = static_cast<std::size_t>(1 - header);
            if (in >= data.size())
                throw TiffError("PackBits repeat run goes past the end of the data");
            if (n > out.size() - done)
                throw TiffError("PackBits run goes past the end of the strip");
            std::memset(out.data() + done, data[in++], n);
            done += n;
        }
    }
}

}  // namespace faxtiff
