#pragma once
// Reading pages: a TIFF file's page list, and one page decoded with its original strips.
//
//   faxtiff::TiffFile file = faxtiff::TiffFile::Open(path);
//   faxtiff::Page page = file.ReadPage(0);      // throws TiffError saying what is wrong
//   page.Bitmap() ... page.Info().resolution ...
//
// Messages count pages from 1 ("page 2: unsupported compression 5 (LZW)"); indexes
// in the API count from 0.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "tiff/byte_order.h"
#include "tiff/page_bitmap.h"
#include "tiff/page_info.h"

namespace faxtiff {

class ByteSource;

class Page {
public:
    // A page made by a program, not read from a file (it has no strips to copy).
    static Page FromBitmap(PageBitmap bitmap, std::uint16_t photometric = 0,
                           std::optional<Resolution> resolution = std::nullopt);

    const PageInfo& Info() const { return coded_.info; }
    const PageBitmap& Bitmap() const { return bitmap_; }
    // The strips as the file held them, coded as Info() says; empty for FromBitmap pages.
    const std::vector<std::vector<std::uint8_t>>& Strips() const { return coded_.strips; }
    const CodedPage& Coded() const { return coded_; }

private:
    friend class TiffFile;
    Page() = default;
    CodedPage coded_;
    PageBitmap bitmap_;
};

class TiffFile {
public:
    // Reads the header and the page chain; throws TiffError when the file cannot be
    // opened or is not a TIFF the engine can follow. A file of up to 4 MiB is read whole
    // at once, a larger one a part at a time as pages need it.
    static TiffFile Open(const std::string& path);
    static TiffFile FromBytes(std::span<const std::uint8_t> bytes);

    TiffFile(TiffFile&&) noexcept;
    TiffFile& operator=(TiffFile&&) noexcept;
    ~TiffFile();

    std::size_t PageCount() const { return ifds_.size(); }
    // Checks the page's tags as ReadPage does, without reading its strips.
    PageInfo Info(std::size_t index) const;
    // Reads the strips and decodes them, so a page that loads is a page that is sound.
    Page ReadPage(std::size_t index) const;
    // Reads the strips as they are, without decoding them (see RecodePage).
    CodedPage ReadCoded(std::size_t index) const;

private:
    explicit TiffFile(std::unique_ptr<ByteSource> source);
    void CheckIndex(std::size_t index) const;
    std::unique_ptr<ByteSource> source_;
    ByteOrder order_ = ByteOrder::LittleEndian;
    std::vector<std::uint32_t> ifds_;
};

// Page index (default: the first) of a file or of a file's bytes.
Page LoadPage(const std::string& path, std::size_t index = 0);
Page LoadPage(std::span<const std::uint8_t> bytes, std::size_t index = 0);

// The info of every page; throws at the first page the engine cannot take.
std::vector<PageInfo> ListPages(const std::string& path);

}  // namespace faxtiff
