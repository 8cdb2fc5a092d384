#pragma once
// Random-access reading of a TIFF file, from disk (File) or from memory: only the parts
// a page needs are read from a large file, so memory stays bounded by the page, not by
// the file; a small one (see TiffFile::Open) is read whole.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace faxtiff {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t Size() const = 0;
    // Fills out from offset; throws TiffError when that runs past the end.
    virtual void Read(std::uint64_t offset, std::span<std::uint8_t> out) const = 0;

protected:
    void CheckRange(std::uint64_t offset, std::size_t size) const;
};

class MemorySource : public ByteSource {
public:
    explicit MemorySource(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
    std::uint64_t Size() const override { return bytes_.size(); }
    void Read(std::uint64_t offset, std::span<std::uint8_t> out) const override;

private:
    std::vector<std::uint8_t> bytes_;
};

}  // namespace faxtiff
