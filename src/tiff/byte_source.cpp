#include "tiff/byte_source.h"

#include <cstring>

#include "tiff/tiff_error.h"

namespace faxtiff {

void ByteSource::CheckRange(std::uint64_t offset, std::size_t size) const {
    if (offset > Size() || size > Size() - offset)
        throw TiffError("data at offset " + std::to_string(offset) + " (" + std::to_string(size) +
                        " bytes) runs past the end of the file (" + std::to_string(Size()) + " bytes)");
}

void MemorySource::Read(std::uint64_t offset, std::span<std::uint8_t> out) const {
    CheckRange(offset, out.size());
    if (!out.empty()) std::memcpy(out.data(), bytes_.data() + offset, out.size());
}

FileSource::FileSource(const std::string& path) : file_(path, std::ios::binary) {
    if (!file_) throw TiffError("cannot open the file");
    file_.seekg(0, std::ios::end);
    std::streamoff end = file_.tellg();
    if (!file_ || end < 0) throw TiffError("cannot read the file");
    size_ = static_cast<std::uint64_t>(end);
}

void FileSource::Read(std::uint64_t offset, std::span<std::uint8_t> out) const {
    CheckRange(offset, out.size());
    if (out.empty()) return;
    file_.clear();
    file_.seekg(static_cast<std::streamoff>(offset));
    file_.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size()));
    if (!file_ || file_.gcount() != static_cast<std::streamsize>(out.size()))
        throw TiffError("reading failed at offset " + std::to_string(offset));
}

}  // namespace faxtiff
