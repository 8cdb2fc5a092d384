#include "tiff/page_append.h"

#include <utility>

#include "tiff/page_coding.h"
#include "tiff/page_writer.h"
#include "tiff/tiff_directory.h"
#include "tiff/tiff_error.h"

namespace faxtiff {
namespace {

constexpr std::uint64_t kHeaderSize = 8;

std::string TemporaryName(const std::string& path) { return path + ".partial"; }

std::optional<PageNumber> NumberFor(std::size_t index, std::uint16_t total)
{
    if (index > 0xFFFF)
        return std::nullopt;
    return PageNumber{static_cast<std::uint16_t>(index), total};
}

struct NewFile {
    File file;
    std::uint32_t linkPosition;
};

// Writes a new file of one page under a temporary name beside path, flushes it to the
// disk and only then gives it path's name: a crash leaves path as it was.
NewFile WriteNewFile(const std::string& path, const CodedPage& page, PageNumber number,
                     bool replace, WriteFaults* faults)
{
    PageBlock block;
    try {
        block = BuildPageBlock(page, ByteOrder::LittleEndian, kHeaderSize, number);
    } catch (const TiffError& e) {
        throw TiffError(path + ": " + e.what());
    }
    std::uint8_t header[kHeaderSize] = {'I', 'I', 42, 0};
    Put32(header + 4, block.ifdOffset, ByteOrder::LittleEndian);
    std::string temp = TemporaryName(path);
    try {
        File file = File::Create(temp, faults);
        try {
            file.Write(0, header);
            file.Write(kHeaderSize, block.bytes);
            file.Flush();
            file.MoveTo(path, replace);
        } catch (const TiffError&) {
            file.Delete();
            throw;
        }
        return {std::move(file), block.nextOffsetPosition};
    } catch (const TiffError& e) {
        throw TiffError(temp + ": " + e.what());
    }
}

// Whether the directory chain ends at linkPosition: one read, where walking reads every page.
bool EndsChainAt(const File& file, ByteOrder order, std::uint64_t linkPosition)
{
    if (linkPosition > file.Size() || file.Size() - linkPosition < 4)
        return false;
    std::uint8_t link[4];
    file.Read(linkPosition, link);
    return Get32(link, order) == 0;
}

}  // namespace

PageAppender::PageAppender(std::string path, const std::optional<AppendPoint>& known,
                           WriteFaults* faults)
        : path_(std::move(path)), faults_(faults)
{
    try {
        // A missing file is created later, and that removes a leftover first.
        file_ = File::OpenForAppending(path_, faults_);
        if (!file_)
            return;
        // The file is as an appender left it, and that appender removed any leftover.
        if (known && file_->Size() == known->size && file_->WriteTime() == known->writeTime &&
            EndsChainAt(*file_, known->order, known->linkPosition)) {
            order_ = known->order;
            linkPosition_ = known->linkPosition;
            pageCount_ = known->pageCount;
            return;
        }
        RemoveLeftover(TemporaryName(path_));
        TiffHeader header = ReadHeader(*file_);
        IfdChain chain = WalkIfdChain(*file_, header);
        CheckAppendable(*file_, header.order, chain);
        order_ = header.order;
        pageCount_ = chain.offsets.size();
        linkPosition_ =
            std::uint64_t{chain.offsets.back()} + 2 + 12 * std::uint64_t{chain.lastEntryCount};
    } catch (const TiffError& e) {
        throw TiffError(path_ + ": cannot append to this file: " + e.what());
    }
}

void PageAppender::Append(const Page& page, SaveCompression compression)
{
    Append(CodePage(page, compression));
}

void PageAppender::Append(const CodedPage& page)
{
    if (!file_) {
        NewFile created = WriteNewFile(path_, page, PageNumber{0, 0}, false, faults_);
        file_ = std::move(created.file);
        linkPosition_ = created.linkPosition;
        pageCount_ = 1;
        return;
    }
    std::uint64_t size = file_->Size();
    std::uint64_t offset = size + size % 2;
    std::string doing = "coding the new page";
    std::string outcome;  // what the file holds when this step fails
    try {
        PageBlock block = BuildPageBlock(page, order_, offset, NumberFor(pageCount_, 0));
        doing = "adding the new page";
        outcome = "; the file still holds its old pages";
        const std::uint8_t pad[1] = {0};
        if (size % 2)
            file_->Write(size, pad);
        file_->Write(offset, block.bytes);
        doing = "saving the new page";
        file_->Flush();  // before the link, so a linked page is never one the disk lacks
        doing = "linking the new page";
        std::uint8_t link[4];
        Put32(link, block.ifdOffset, order_);
        file_->Write(linkPosition_, link);
        linkPosition_ = block.nextOffsetPosition;
        ++pageCount_;
        outcome = "; the page is in the file, but may not be on the disk";
        doing = "saving the new page";
        file_->Flush();
    } catch (const TiffError& e) {
        throw TiffError(path_ + ": " + doing + ": " + e.what() + outcome);
    }
}

PageAppender::~PageAppender() { DropStaged(); }

void PageAppender::StartNewFile()
{
    std::string temp = TemporaryName(path_);
    try {
        File file = File::Create(temp, faults_);
        const std::uint8_t header[kHeaderSize] = {'I', 'I', 42,
                                                  0};  // the first directory is linked in at Commit
        try {
            file.Write(0, header);
        } catch (const TiffError&) {
            file.Delete();
            throw;
        }
        file_ = std::move(file);
    } catch (const TiffError& e) {
        throw TiffError(temp + ": " + e.what());
    }
    creating_ = true;
    order_ = ByteOrder::LittleEndian;
    linkPosition_ = 4;
    pageCount_ = 0;
}

void PageAppender::Stage(const CodedPage& page)
{
    try {
        if (!file_)
            StartNewFile();
        std::uint64_t size = file_->Size();
        std::uint64_t offset = size + size % 2;
        PageBlock block =
            BuildPageBlock(page, order_, offset, NumberFor(pageCount_ + stagedCount_, 0));
        if (!stagedFrom_)
            stagedFrom_ = size;
        const std::uint8_t pad[1] = {0};
        if (size % 2)
            file_->Write(size, pad);
        file_->Write(offset, block.bytes);
        std::uint8_t link[4];
        Put32(link, block.ifdOffset, order_);
        if (stagedCount_ > 0)
            file_->Write(stagedLinkPosition_, link);
        else if (creating_)
            file_->Write(linkPosition_, link);  // the header of a file no one sees before Commit
        else
            firstStagedIfd_ = block.ifdOffset;
        stagedLinkPosition_ = block.nextOffsetPosition;
        ++stagedCount_;
    } catch (const TiffError& e) {
        throw TiffError(path_ + ": adding the new pages: " + e.what() +
                        (!file_ || creating_ ? "; the file was not created"
                                             : "; the file still holds its old pages"));
    }
}

void PageAppender::Commit()
{
    if (stagedCount_ == 0)
        return;
    auto committed = [this] {
        linkPosition_ = stagedLinkPosition_;
        pageCount_ += std::exchange(stagedCount_, 0);
        stagedFrom_.reset();
    };
    std::string doing = "saving the new pages";
    try {
        file_->Flush();  // before the link, so a linked page is never one the disk lacks
        if (creating_) {
            file_->MoveTo(path_, false);
            creating_ = false;
            committed();
        } else {
            doing = "linking the new pages";
            std::uint8_t link[4];
            Put32(link, firstStagedIfd_, order_);
            file_->Write(linkPosition_, link);
            committed();
            doing = "saving the new pages";
            file_->Flush();
        }
    } catch (const TiffError& e) {
        std::string outcome = creating_ ? "; the file was not created"
                              : stagedCount_
                                  ? "; the file still holds its old pages"
                                  : "; the pages are in the file, but may not be on the disk";
        throw TiffError(path_ + ": " + doing + ": " + e.what() + outcome);
    }
}

void PageAppender::DropStaged() noexcept
{
    if (!file_)
        return;
    try {
        if (creating_) {
            file_->Delete();
            file_.reset();
        } else if (stagedFrom_) {
            file_->Truncate(*stagedFrom_);
        }
    } catch (const TiffError&) {
        // What stays after the old pages belongs to no page; the next append goes after it.
    }
}

std::optional<AppendPoint> PageAppender::Point() const
{
    if (!file_)
        return std::nullopt;
    std::optional<std::uint64_t> written = file_->WriteTime();
    if (!written)
        return std::nullopt;
    return AppendPoint{file_->Size(), *written, order_, linkPosition_, pageCount_};
}

std::optional<AppendPoint> AppendPage(const std::string& path, const CodedPage& page,
                                      const std::optional<AppendPoint>& known)
{
    PageAppender appender(path, known);
    appender.Append(page);
    return appender.Point();
}

std::optional<AppendPoint> AppendPage(const std::string& path, const Page& page,
                                      SaveCompression compression,
                                      const std::optional<AppendPoint>& known)
{
    return AppendPage(path, CodePage(page, compression), known);
}

void WritePage(const std::string& path, const CodedPage& page, WriteFaults* faults)
{
    WriteNewFile(path, page, PageNumber{0, 1}, true, faults);
}

void WritePage(const std::string& path, const Page& page, SaveCompression compression,
               WriteFaults* faults)
{
    WritePage(path, CodePage(page, compression), faults);
}

}  // namespace faxtiff
