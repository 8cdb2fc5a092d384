#pragma once
// Saving pages: appending one to a multi-page TIFF file, or writing a one-page file.
//
// The imaging control's SaveAs with AppendImage true is AppendPage(path, page coded as
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

// Where the next page goes in a file an appender left, and how to tell that the file is
// still as it was left: its size and write time then.
struct AppendPoint {
    std::uint64_t size = 0;
    std::uint64_t writeTime = 0;
    ByteOrder order = ByteOrder::LittleEndian;
    std::uint64_t linkPosition = 0;
    std::size_t pageCount = 0;
};

class PageAppender {
public:
    // Opens an existing file and checks it at once: throws TiffError, leaving it
    // untouched, when it is not a classic TIFF with a sound directory chain or another
    // appender holds it. A missing file is fine. The file is held from here (or from its
    // creation) until the appender is gone, so appenders never mix their pages.
    // Removes a temporary file a killed creation left behind.
    // With `known` (what an earlier appender of this path left) and the file's size and
    // write time still those, its pages are not walked and checked again: appending page
    // after page then costs the same for the last page as for the first.
    // Writes go through faults, when given (tests).
    explicit PageAppender(std::string path, const std::optional<AppendPoint>& known = std::nullopt,
                          WriteFaults* faults = nullptr);

    // Adds the page as the last one, coded as `compression`; its strips are copied as
    // they are when they already have that coding (see CanCopyStrips). PageNumber is
    // (index from 0, total 0): the total is not known while pages keep being added.
    // Pages must not be staged meanwhile.
    void Append(const Page& page, SaveCompression compression);
    // The same for a page already coded as it is to be saved (see CodePage, RecodePage).
    void Append(const CodedPage& page);

    // Writes the page (see CodePage, RecodePage) after the end of the file as the next
    // staged one. Throws TiffError (the file still holding its old pages).
    void Stage(const CodedPage& page);
    // Adds the staged pages as the last ones and returns once they are on the disk.
    // Throws TiffError saying whether they went in.
    void Commit();

    // Pages in the file, staged ones not counted.
    std::size_t PageCount() const { return pageCount_; }
    // The file as this appender leaves it; nullopt before the first page of a new file
    // or when its write time cannot be told.
    std::optional<AppendPoint> Point() const;

    ~PageAppender();
    PageAppender(const PageAppender&) = delete;
    PageAppender& operator=(const PageAppender&) = delete;

private:
    void StartNewFile();
    void DropStaged() noexcept;

    std::string path_;
    WriteFaults* faults_;
    std::optional<File> file_;
    ByteOrder order_ = ByteOrder::LittleEndian;
    std::uint64_t linkPosition_ =
        0;  // the last directory's next-offset (the header's for a new file)
    std::size_t pageCount_ = 0;
    bool creating_ = false;                    // file_ is the new file under its temporary name
    std::optional<std::uint64_t> stagedFrom_;  // the file's size before the first staged page
    std::uint32_t firstStagedIfd_ = 0;
    std::uint64_t stagedLinkPosition_ = 0;  // the last staged directory's next-offset
    std::size_t stagedCount_ = 0;
};

// Returns the point to pass to the next AppendPage of the same path.
std::optional<AppendPoint> AppendPage(const std::string& path, const Page& page,
                                      SaveCompression compression,
                                      const std::optional<AppendPoint>& known = std::nullopt);
std::optional<AppendPoint> AppendPage(const std::string& path, const CodedPage& page,
                                      const std::optional<AppendPoint>& known = std::nullopt);

// Writes (or replaces) path as a file of just this page, PageNumber (0, 1).
void WritePage(const std::string& path, const Page& page, SaveCompression compression,
               WriteFaults* faults = nullptr);
void WritePage(const std::string& path, const CodedPage& page, WriteFaults* faults = nullptr);

}  // namespace faxtiff
