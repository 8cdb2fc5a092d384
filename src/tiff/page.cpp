#include "tiff/page.h"

#include <string>
#include <utility>
#include <vector>

#include "tiff/byte_source.h"
#include "tiff/file.h"
#include "tiff/page_decoding.h"
#include "tiff/tiff_directory.h"
#include "tiff/tiff_error.h"

namespace faxtiff {
namespace {

constexpr std::uint64_t kWholeFileReadLimit = 4 * 1024 * 1024;

[[noreturn]] void RethrowForPage(std::size_t index, const TiffError& e)
{
    throw TiffError("page " + std::to_string(index + 1) + ": " + e.what());
}

}  // namespace

Page Page::FromBitmap(PageBitmap bitmap, std::uint16_t photometric,
                      std::optional<Resolution> resolution)
{
    if (photometric > 1)
        throw TiffError("photometric interpretation " + std::to_string(photometric) +
                        " is not 0 or 1");
    Page page;
    PageInfo& info = page.coded_.info;
    info.width = bitmap.Width();
    info.length = bitmap.Length();
    info.photometric = photometric;
    info.resolution = resolution;
    info.rowsPerStrip = bitmap.Length();
    page.bitmap_ = std::move(bitmap);
    return page;
}

TiffFile::TiffFile(std::unique_ptr<ByteSource> source) : source_(std::move(source))
{
    TiffHeader header = ReadHeader(*source_);
    order_ = header.order;
    ifds_ = WalkIfdChain(*source_, header).offsets;
}

TiffFile::TiffFile(TiffFile&&) noexcept = default;
TiffFile& TiffFile::operator=(TiffFile&&) noexcept = default;
TiffFile::~TiffFile() = default;

TiffFile TiffFile::Open(const std::string& path)
{
    try {
        File file = File::OpenForReading(path);
        // A file of a few pages is read with one call, not one call per field and strip:
        // each call costs far more than the copy on some systems (Wine).
        if (file.Size() <= kWholeFileReadLimit) {
            std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file.Size()));
            file.Read(0, bytes);
            return TiffFile(std::make_unique<MemorySource>(std::move(bytes)));
        }
        return TiffFile(std::make_unique<File>(std::move(file)));
    } catch (const TiffError& e) {
        throw TiffError(path + ": " + e.what());
    }
}

TiffFile TiffFile::FromBytes(std::span<const std::uint8_t> bytes)
{
    return TiffFile(
        std::make_unique<MemorySource>(std::vector<std::uint8_t>(bytes.begin(), bytes.end())));
}

void TiffFile::CheckIndex(std::size_t index) const
{
    if (index >= ifds_.size())
        throw TiffError("page " + std::to_string(index + 1) + ": the file has " +
                        std::to_string(ifds_.size()) + (ifds_.size() == 1 ? " page" : " pages"));
}

PageInfo TiffFile::Info(std::size_t index) const
{
    CheckIndex(index);
    try {
        return ReadPageDirectory(*source_, order_, ifds_[index]).info;
    } catch (const TiffError& e) {
        RethrowForPage(index, e);
    }
}

CodedPage TiffFile::ReadCoded(std::size_t index) const
{
    CheckIndex(index);
    try {
        PageDirectory dir = ReadPageDirectory(*source_, order_, ifds_[index]);
        CodedPage page{dir.info, std::vector<std::vector<std::uint8_t>>(dir.stripOffsets.size())};
        for (std::size_t s = 0; s < page.strips.size(); ++s) {
            page.strips[s].resize(dir.stripByteCounts[s]);
            source_->Read(dir.stripOffsets[s], page.strips[s]);
        }
        return page;
    } catch (const TiffError& e) {
        RethrowForPage(index, e);
    }
}

Page TiffFile::ReadPage(std::size_t index) const
{
    Page page;
    page.coded_ = ReadCoded(index);
    try {
        page.bitmap_ = DecodePage(page.coded_.info, page.coded_.strips);
    } catch (const TiffError& e) {
        RethrowForPage(index, e);
    }
    return page;
}

Page LoadPage(const std::string& path, std::size_t index)
{
    TiffFile file = TiffFile::Open(path);
    try {
        return file.ReadPage(index);
    } catch (const TiffError& e) {
        throw TiffError(path + ": " + e.what());
    }
}

Page LoadPage(std::span<const std::uint8_t> bytes, std::size_t index)
{
    return TiffFile::FromBytes(bytes).ReadPage(index);
}

std::vector<PageInfo> ListPages(const std::string& path)
{
    TiffFile file = TiffFile::Open(path);
    std::vector<PageInfo> pages;
    try {
        for (std::size_t i = 0; i < file.PageCount(); ++i)
            pages.push_back(file.Info(i));
    } catch (const TiffError& e) {
        throw TiffError(path + ": " + e.what());
    }
    return pages;
}

}  // namespace faxtiff
