#include "fax_check.h"

#include <windows.h>

#include "tiff/page.h"
#include "tiff/page_coding.h"
#include "tiff/tiff_error.h"

FaxCheck CheckFax(const std::string& path)
{
    FaxCheck check;
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &attributes))
        check.bytes = (std::uint64_t(attributes.nFileSizeHigh) << 32) | attributes.nFileSizeLow;
    try {
        faxtiff::TiffFile file = faxtiff::TiffFile::Open(path);
        if (file.PageCount() == 0)
            check.error = "no pages";
        // Every page decoded (on its way to Group 4, the coding faxes go out in, with no
        // bitmap of the page): a fax that loads is a fax that can be sent.
        for (std::size_t i = 0; i < file.PageCount(); ++i)
            faxtiff::ReadRecoded(file, i, faxtiff::SaveCompression::Group4);
        check.pages = static_cast<int>(file.PageCount());
    } catch (const faxtiff::TiffError& error) {
        check.error = error.what();
    }
    return check;
}
