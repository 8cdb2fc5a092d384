#pragma once
// A file read and written with the system's own calls, no buffering in between: a
// Write has reached the system when it returns and has failed when it throws, and
// nothing is written later behind the caller's back. Messages leave the path to the
// caller ("it is a directory", "writing 4 bytes at offset 96 failed (...)").
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "tiff/byte_source.h"

namespace faxtiff {

// A disk that fails, for tests: while writesBeforeFailure is 0 or more, that many more
// writes of the Files given it go through and the next one fails as a failing disk's
// would, writing nothing; then it is -1 (no failure) again.
struct WriteFaults {
    int writesBeforeFailure = -1;
};

class File final : public ByteSource {
public:
    // An existing regular file, for reading; others may read and write it meanwhile.
    static File OpenForReading(const std::string& path);
    // An existing regular file for reading and writing, held exclusively until this
    // object is gone: another appender cannot open it meanwhile (a lock on POSIX, no
    // sharing on Windows) and is told it is in use. nullopt when there is no such file.
    static std::optional<File> OpenForAppending(const std::string& path,
                                                WriteFaults* faults = nullptr);
    // A new empty file, held exclusively. A file of that name left by a writer that
    // was killed is replaced; one that is being written now is not.
    static File Create(const std::string& path, WriteFaults* faults = nullptr);

    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File() override;

    std::uint64_t Size() const override { return size_; }
    void Read(std::uint64_t offset, std::span<std::uint8_t> out) const override;
    // Writes all the bytes at offset, or throws.
    void Write(std::uint64_t offset, std::span<const std::uint8_t> bytes);
    // Cuts the file to its first `size` bytes, or throws.
    void Truncate(std::uint64_t size);
    // Returns once what was written is on the disk (fsync, FlushFileBuffers).
    void Flush();
    // When the file was last written, in the system's own units; nullopt when unknown.
    std::optional<std::uint64_t> WriteTime() const;
    // Gives a Created file the name `path`, keeping it open and held. Without
    // `replace`, throws when that name is taken.
    void MoveTo(const std::string& path, bool replace);
    // Removes a Created file and closes it.
    void Delete();

private:
    File(std::intptr_t handle, std::string path, std::uint64_t size, WriteFaults* faults)
            : handle_(handle), path_(std::move(path)), size_(size), faults_(faults)
    {
    }
    void Close();

    std::intptr_t handle_;  // a descriptor, or a HANDLE on Windows; -1 once closed
    std::string path_;
    std::uint64_t size_;
    WriteFaults* faults_;
};

// Removes path when it is a file nobody holds open through File: what a killed
// Create left behind.
void RemoveLeftover(const std::string& path);

}  // namespace faxtiff
