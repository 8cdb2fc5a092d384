// faxtiff: the fax TIFF engine from the command line.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tiff/file_merge.h"
#include "tiff/page.h"
#include "tiff/save_compression.h"
#include "tiff/tiff_error.h"

namespace {

const char kUsage[] =
    "usage: faxtiff append [--compression N] DEST SRC...\n"
    "           appends every page of each SRC, in order, to DEST (created when missing);\n"
    "           all go in or none: a broken page leaves DEST as it was\n"
    "       faxtiff info FILE\n"
    "           one line per page: width, length, compression, resolution\n"
    "compression codes (default 4):\n"
    "  1  uncompressed\n"
    "  2  CCITT modified Huffman\n"
    "  3  CCITT Group 3 1D\n"
    "  4  CCITT Group 4\n"
    "  5  CCITT Group 3 2D\n"
    "pages already coded that way are checked and copied, not coded again\n";

int Usage()
{
    std::fputs(kUsage, stderr);
    return 2;
}

std::string ResolutionText(const faxtiff::PageInfo& info)
{
    if (!info.resolution)
        return "no resolution";
    auto value = [](faxtiff::Rational r) {
        char text[32];
        std::snprintf(text, sizeof text, "%g", static_cast<double>(r.numerator) / r.denominator);
        return std::string(text);
    };
    const char* unit = info.resolution->unit == 2   ? " dpi"
                       : info.resolution->unit == 3 ? " per cm"
                                                    : "";
    return value(info.resolution->x) + " x " + value(info.resolution->y) + unit;
}

int Info(const std::string& path)
{
    faxtiff::TiffFile file = faxtiff::TiffFile::Open(path);
    for (std::size_t i = 0; i < file.PageCount(); ++i) {
        faxtiff::PageInfo info = file.Info(i);
        std::printf("page %zu: %u x %u, compression %u (%s), %s\n", i + 1, info.width, info.length,
                    info.compression, faxtiff::CompressionDescription(info).c_str(),
                    ResolutionText(info).c_str());
    }
    return 0;
}

int Append(const std::vector<std::string>& args)
{
    std::size_t at = 0;
    faxtiff::SaveCompression compression = faxtiff::SaveCompression::Group4;
    if (at < args.size() && args[at] == "--compression") {
        if (at + 1 >= args.size())
            return Usage();
        char* end = nullptr;
        unsigned long code = std::strtoul(args[at + 1].c_str(), &end, 10);
        if (*end != '\0' || code > 0xFFFF)
            return Usage();
        compression = faxtiff::SaveCompressionFromCode(static_cast<std::uint16_t>(code));
        at += 2;
    }
    if (args.size() - at < 2)
        return Usage();
    faxtiff::AppendFiles(args[at], {args.begin() + static_cast<std::ptrdiff_t>(at) + 1, args.end()},
                         compression);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return Usage();
    try {
        std::string command = args.front();
        args.erase(args.begin());
        if (command == "info" && args.size() == 1)
            return Info(args[0]);
        if (command == "append")
            return Append(args);
        return Usage();
    } catch (const faxtiff::TiffError& e) {
        std::fprintf(stderr, "faxtiff: %s\n", e.what());
        return 1;
    }
}
