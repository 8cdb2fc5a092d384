#include "pbm.h"

#include <cctype>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

constexpr std::uint32_t kMaxSide = faxtiff::kMaxPageWidth;

// Reads the next header number, skipping blanks and comments.
std::uint32_t HeaderNumber(std::istream& in, const std::string& path)
{
    int c = in.get();
    while (c != EOF && (std::isspace(c) || c == '#')) {
        if (c == '#')
            while (c != EOF && c != '\n')
                c = in.get();
        c = in.get();
    }
    std::uint64_t value = 0;
    bool digits = false;
    while (c != EOF && std::isdigit(c)) {
        value = value * 10 + (c - '0');
        if (value > kMaxSide)
            throw std::runtime_error(path + ": PBM size above " + std::to_string(kMaxSide));
        digits = true;
        c = in.get();
    }
    if (!digits || (c != EOF && !std::isspace(c)))
        throw std::runtime_error(path + ": bad PBM header");
    return static_cast<std::uint32_t>(value);
}

}  // namespace

PageBitmap ReadPbm(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    char magic[2] = {};
    if (!in.read(magic, 2) || magic[0] != 'P' || magic[1] != '4')
        throw std::runtime_error(path + ": not a binary PBM (P4) file");
    std::uint32_t width = HeaderNumber(in, path);
    std::uint32_t height = HeaderNumber(in, path);
    if (width == 0 || height == 0)
        throw std::runtime_error(path + ": empty PBM image");
    PageBitmap page(width, height);
    for (std::uint32_t y = 0; y < height; ++y)
        if (!in.read(reinterpret_cast<char*>(page.Row(y)),
                     static_cast<std::streamsize>(page.RowBytes())))
            throw std::runtime_error(path + ": PBM data cut short");
    // The bits after the last pixel of a row stay 0.
    if (std::uint32_t spare = width % 8)
        for (std::uint32_t y = 0; y < height; ++y)
            page.Row(y)[page.RowBytes() - 1] &= static_cast<std::uint8_t>(0xFF << (8 - spare));
    return page;
}
