#pragma once
// Saving pages: appending one to a multi-page TIFF file, or writing a one-page file.
//
// The imaging control's SaveAs with AppendImage true is AppendPage(path, page,
// SaveCompressionFromCode(Compression)); with AppendImage false it is WritePage.
//
// Appending never touches the pages already in the file. It is crash-safe: the new
// page's strips and directory are written after the end of the file first, and only
// then is the old last directory's next-offset patched to link them in, so a crash at
// any point leaves a valid TIFF holding either the old pages or all of them. A missing
// file is created complete under a temporary name and then renamed into place.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tiff/byte_order.h"
#include "tiff/page.h"
#include "tiff/save_compression.h"

namespace faxtiff {

class PageAppender {
public:
    // Checks an existing file at once: throws TiffError, leaving it untouched, when it
    // is not a classic TIFF with a sound directory chain. A missing file is fine.
    explicit PageAppender(std::string path);

    // Adds the page as the last one, coded as `compression`; its strips are copied as
    // they are when they already have that coding (see CanCopyStrips). PageNumber is
    // (index from 0, total 0): the total is not known while pages keep being added.
    void Append(const Page& page, SaveCompression compression);

    std::size_t PageCount() const { return pageCount_; }

private:
    void ReadExisting();
    void Create(const Page& page, SaveCompression compression);

    std::string path_;
    bool exists_ = false;
    ByteOrder order_ = ByteOrder::LittleEndian;
    std::uint64_t size_ = 0;
    std::uint64_t linkPosition_ = 0;  // the last directory's next-offset
    std::size_t pageCount_ = 0;
};

void AppendPage(const std::string& path, const Page& page, SaveCompression compression);

// Writes (or replaces) path as a file of just this page, PageNumber (0, 1).
void WritePage(const std::string& path, const Page& page, SaveCompression compression);

// Test seam: when set, Append stops with a TiffError after writing the page and before
// linking it in, where a crash would stop it.
extern bool gStopAppendBeforeLink;

}  // namespace faxtiff
