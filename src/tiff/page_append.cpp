#include "tiff/page_append.h"

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <utility>

#include "tiff/byte_source.h"
#include "tiff/page_writer.h"
#include "tiff/tiff_directory.h"
#include "tiff/tiff_error.h"

namespace faxtiff {

bool gStopAppendBeforeLink = false;

namespace {

constexpr std::uint64_t kHeaderSize = 8;

bool FileExists(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f) {
        std::fclose(f);
        return true;
    }
    if (errno == ENOENT) return false;
    throw TiffError("cannot open " + path);
}

std::optional<PageNumber> NumberFor(std::size_t index, std::uint16_t total) {
    if (index > 0xFFFF) return std::nullopt;
    return PageNumber{static_cast<std::uint16_t>(index), total};
}

// Writes a new file of one page under a temporary name beside path, then moves it to path.
void WriteNewFile(const std::string& path, const Page& page, SaveCompression compression, PageNumber number,
                  bool replace) {
    PageBlock block = BuildPageBlock(page, compression, ByteOrder::LittleEndian, kHeaderSize, number);
    std::uint8_t header[kHeaderSize] = {'I', 'I', 42, 0};
    Put32(header + 4, block.ifdOffset, ByteOrder::LittleEndian);
    std::string temp = path + ".partial";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) throw TiffError("cannot create " + temp);
        out.write(reinterpret_cast<const char*>(header), sizeof header);
        out.write(reinterpret_cast<const char*>(block.bytes.data()), static_cast<std::streamsize>(block.bytes.size()));
        out.flush();
        if (!out) {
            out.close();
            std::remove(temp.c_str());
            throw TiffError("writing " + temp + " failed");
        }
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        // Windows does not rename over an existing file.
        if (!replace || std::remove(path.c_str()) != 0 || std::rename(temp.c_str(), path.c_str()) != 0) {
            std::remove(temp.c_str());
            throw TiffError("cannot move " + temp + " to " + path);
        }
    }
}

}  // namespace

PageAppender::PageAppender(std::string path) : path_(std::move(path)) {
    exists_ = FileExists(path_);
    if (exists_) ReadExisting();
}

void PageAppender::ReadExisting() {
    try {
        FileSource source(path_);
        TiffHeader header = ReadHeader(source);
        IfdChain chain = WalkIfdChain(source, header);
        CheckLastLinkIsFree(source, header.order, chain);
        order_ = header.order;
        size_ = source.Size();
        pageCount_ = chain.offsets.size();
        linkPosition_ = std::uint64_t{chain.offsets.back()} + 2 + 12 * std::uint64_t{chain.lastEntryCount};
    } catch (const TiffError& e) {
        throw TiffError(path_ + ": cannot append to this file: " + e.what());
    }
}

void PageAppender::Create(const Page& page, SaveCompression compression) {
    WriteNewFile(path_, page, compression, PageNumber{0, 0}, false);
    exists_ = true;
    ReadExisting();
}

void PageAppender::Append(const Page& page, SaveCompression compression) {
    if (!exists_) {
        Create(page, compression);
        return;
    }
    std::fstream file(path_, std::ios::in | std::ios::out | std::ios::binary);
    if (!file) throw TiffError("cannot open " + path_ + " for writing");
    file.seekp(0, std::ios::end);
    std::streamoff end = file.tellp();
    if (end < 0) throw TiffError("cannot find the end of " + path_);
    if (static_cast<std::uint64_t>(end) != size_) ReadExisting();  // changed since we looked

    std::uint64_t offset = size_ + size_ % 2;
    PageBlock block = BuildPageBlock(page, compression, order_, offset, NumberFor(pageCount_, 0));
    if (size_ % 2) file.put(0);
    file.write(reinterpret_cast<const char*>(block.bytes.data()), static_cast<std::streamsize>(block.bytes.size()));
    file.flush();
    if (!file) throw TiffError("writing the new page to " + path_ + " failed; the file still holds its old pages");
    if (gStopAppendBeforeLink) throw TiffError("stopped before linking the new page");

    std::uint8_t link[4];
    Put32(link, block.ifdOffset, order_);
    file.seekp(static_cast<std::streamoff>(linkPosition_));
    file.write(reinterpret_cast<const char*>(link), sizeof link);
    file.flush();
    if (!file) throw TiffError("linking the new page into " + path_ + " failed; the file still holds its old pages");

    size_ = offset + block.bytes.size();
    linkPosition_ = block.nextOffsetPosition;
    ++pageCount_;
}

void AppendPage(const std::string& path, const Page& page, SaveCompression compression) {
    PageAppender(path).Append(page, compression);
}

void WritePage(const std::string& path, const Page& page, SaveCompression compression) {
    WriteNewFile(path, page, compression, PageNumber{0, 1}, true);
}

}  // namespace faxtiff
