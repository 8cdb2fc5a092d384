#include "tiff/file_merge.h"

#include <string>
#include <utility>

#include "tiff/page.h"
#include "tiff/page_append.h"
#include "tiff/page_coding.h"
#include "tiff/tiff_error.h"

namespace faxtiff {
void AppendFiles(const std::string& dest, const std::vector<std::string>& sources,
                 SaveCompression compression, WriteFaults* faults)
{
    PageAppender appender(dest, std::nullopt, faults);
    for (const std::string& source : sources) {
        TiffFile file = TiffFile::Open(source);
        for (std::size_t i = 0; i < file.PageCount(); ++i) {
            CodedPage page;
            try {
                page = ReadRecoded(file, i, compression);
            } catch (const TiffError& e) {
                throw TiffError(source + ": " + e.what());
            }
            appender.Stage(page);
        }
    }
    appender.Commit();
}

}  // namespace faxtiff
