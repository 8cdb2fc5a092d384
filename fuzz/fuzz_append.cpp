// Fuzz target: append a page to any existing file, or stage two and commit them.
// Either the append is refused and the file is byte for byte what it was, or the old
// bytes are all still there (but for the 4-byte link), the chain has the new pages more
// and they read back as written. When a write is made to fail, the old bytes and pages
// are all still there; after a failed staging, nothing else is.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

#include "tiff/file.h"
#include "tiff/page.h"
#include "tiff/page_append.h"
#include "tiff/page_coding.h"
#include "tiff/tiff_error.h"

namespace {

std::vector<std::uint8_t> ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const faxtiff::Page& NewPage()
{
    static const faxtiff::Page page = [] {
        faxtiff::PageBitmap bitmap(77, 9);
        for (std::uint32_t y = 0; y < 9; ++y)
            for (std::uint32_t x = 0; x < 77; ++x)
                bitmap.SetPixel(x, y, (x * 7 + y * 3) % 11 < 4);
        return faxtiff::Page::FromBitmap(std::move(bitmap), 0,
                                         faxtiff::Resolution{{204, 1}, {196, 1}, 2});
    }();
    return page;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string path = [] {
        const char* dir = std::getenv("TMPDIR");
        return std::string(dir ? dir : "/tmp") + "/fuzz_append_" + std::to_string(getpid()) +
               ".tif";
    }();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    std::vector<std::uint8_t> before(data, data + size);
    faxtiff::SaveCompression compression =
        faxtiff::SaveCompressionFromCode(static_cast<std::uint16_t>(1 + size % 5));
    // Some runs fail one of the appender's writes, as a failing disk would.
    int failingWrite = size % 4 == 3 ? static_cast<int>(size / 4 % 5) : -1;
    bool staging = size / 8 % 2 == 1;
    std::size_t added = staging ? 2 : 1;
    std::size_t pagesBefore = 0;
    bool opened = false;
    faxtiff::WriteFaults faults;
    try {
        faxtiff::PageAppender appender(path, std::nullopt, &faults);
        opened = true;
        pagesBefore = appender.PageCount();
        faults.writesBeforeFailure = failingWrite;
        if (staging) {
            faxtiff::CodedPage coded = faxtiff::CodePage(NewPage(), compression);
            appender.Stage(coded);
            appender.Stage(coded);
            appender.Commit();
        } else {
            appender.Append(NewPage(), compression);
        }
    } catch (const faxtiff::TiffError&) {
        // Refused: not a byte changed. Failed: the old bytes stand, maybe with the new
        // page's data after them, and the file still holds just its old pages.
        std::vector<std::uint8_t> after = ReadAll(path);
        if (!opened || failingWrite < 0 || staging) {
            if (after != before)
                std::abort();
        } else {
            if (after.size() < before.size() ||
                !std::equal(before.begin(), before.end(), after.begin()))
                std::abort();
            if (faxtiff::TiffFile::Open(path).PageCount() != pagesBefore)
                std::abort();
        }
        return 0;
    }
    std::vector<std::uint8_t> after = ReadAll(path);
    if (after.size() <= before.size())
        std::abort();
    std::size_t changed = 0;
    for (std::size_t i = 0; i < before.size(); ++i)
        changed += after[i] != before[i];
    if (changed > 4)
        std::abort();
    faxtiff::TiffFile file = faxtiff::TiffFile::Open(path);
    if (file.PageCount() != pagesBefore + added)
        std::abort();
    for (std::size_t i = pagesBefore; i < pagesBefore + added; ++i)
        if (!(file.ReadPage(i).Bitmap() == NewPage().Bitmap()))
            std::abort();
    return 0;
}
