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
// file is created complete under a temporary name and then renamed into place. Writes
// are unbuffered, so a failure is reported where it happens and nothing is written
// later; Append returns once the page is on the disk.
//
// Several pages can go in as one (Stage, then Commit): each staged page is written
// after the end of the file and linked to the one staged before it, none to the old
// pages, so the file still holds its old pages; Commit flushes them, links the first in
// with one write and flushes again. Pages staged and not committed are cut off the
// file again (a file being created is removed) when the appender is gone.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "tiff/byte_order.h"
#include "tiff/file.h"
#include "tiff/page.h"
#include "tiff/save_compression.h"

namespace faxtiff {

class PageAppender {
public:
    // Opens an existing file and checks it at once: throws TiffError, leaving it
    // untouched, when it is not a classic TIFF with a sound directory chain or another
    // appender holds it. A missing file is fine. The file is held from here (or from its
    // creation) until the appender is gone, so appenders never mix their pages.
    // Removes a temporary file a killed creation left behind.
    explicit PageAppender(std::string path);

    // Adds the page as the last one, coded as `compression`; its strips are copied as
    // they are when they already have that coding (see CanCopyStrips). PageNumber is
    // (index from 0, total 0): the total is not known while pages keep being added.
    // Pages must not be staged meanwhile.
    void Append(const Page& page, SaveCompression compression);

    // Writes the page (see CodePage, RecodePage) after the end of the file as the next
    // staged one. Throws TiffError (the file still holding its old pages).
    void Stage(const CodedPage& page);
    // Adds the staged pages as the last ones and returns once they are on the disk.
    // Throws TiffError saying whether they went in.
    void Commit();

    // Pages in the file, staged ones not counted.
    std::size_t PageCount() const { return pageCount_; }

    ~PageAppender();
    PageAppender(const PageAppender&) = delete;
    PageAppender& operator=(const PageAppender&) = delete;

private:
    void StartNewFile();
    void DropStaged() noexcept;

    std::string path_;
    std::optional<File> file_;
    ByteOrder order_ = ByteOrder::LittleEndian;
    std::uint64_t linkPosition_ = 0;  // the last directory's next-offset (the header's for a new file)
    std::size_t pageCount_ = 0;
    bool creating_ = false;             // file_ is the new file under its temporary name
    std::optional<std::uint64_t> stagedFrom_;  // the file's size before the first staged page
    std::uint32_t firstStagedIfd_ = 0;
    std::uint64_t stagedLinkPosition_ = 0;  // the last staged directory's next-offset
    std::size_t stagedCount_ = 0;
};

void AppendPage(const std::string& path, const Page& page, SaveCompression compression);

// Writes (or replaces) path as a file of just this page, PageNumber (0, 1).
void WritePage(const std::string& path, const Page& page, SaveCompression compression);

}  // namespace faxtiff
