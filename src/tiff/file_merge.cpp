#include "tiff/file_merge.h"

#include "tiff/page.h"
#include "tiff/page_append.h"
#include "tiff/tiff_error.h"

namespace faxtiff {
namespace {

Page ReadSourcePage(const TiffFile& file, const std::string& path, std::size_t index) {
    try {
        return file.ReadPage(index);
    } catch (const TiffError& e) {
        throw TiffError(path + ": " + e.what());
    }
}

}  // namespace

void AppendFiles(const std::string& dest, const std::vector<std::string>& sources, SaveCompression compression) {
    PageAppender appender(dest);
    // Decoding twice costs less than holding every page, and nothing goes in unchecked.
    std::size_t total = 0;
    for (const std::string& source : sources) {
        TiffFile file = TiffFile::Open(source);
        for (std::size_t i = 0; i < file.PageCount(); ++i) ReadSourcePage(file, source, i);
        total += file.PageCount();
    }
    std::size_t added = 0;
    try {
        for (const std::string& source : sources) {
            TiffFile file = TiffFile::Open(source);
            for (std::size_t i = 0; i < file.PageCount(); ++i) {
                appender.Append(ReadSourcePage(file, source, i), compression);
                ++added;
            }
        }
    } catch (const TiffError& e) {
        if (added == 0) throw;
        throw TiffError(std::string(e.what()) + "; the first " + std::to_string(added) + " of the " +
                        std::to_string(total) + " new pages went in");
    }
}

}  // namespace faxtiff
