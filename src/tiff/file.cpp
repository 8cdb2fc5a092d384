#include "tiff/file.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "tiff/tiff_error.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace faxtiff {

namespace {

// Why the last system call failed, in the system's words.
std::string LastErrorText();

[[noreturn]] void Fail(const std::string& what)
{
    throw TiffError(what + " (" + LastErrorText() + ")");
}

// The most one system call reads or writes: Win32 counts in 32 bits.
constexpr std::size_t kMaxChunk = std::size_t{1} << 30;

#ifdef _WIN32

HANDLE AsHandle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

std::string LastErrorText()
{
    return std::system_category().message(static_cast<int>(GetLastError()));
}

// A handle to an existing file, or -1 when there is none and `forAppending`.
std::intptr_t OpenExisting(const std::string& path, bool forAppending, std::uint64_t& size)
{
    // Appenders share the file with no one; readers with everyone.
    HANDLE h =
        CreateFileA(path.c_str(), forAppending ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ,
                    forAppending ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            throw TiffError("it is a directory, not a file");
        if (forAppending && (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND))
            return -1;
        if (forAppending && error == ERROR_SHARING_VIOLATION)
            throw TiffError("the file is in use by another program");
        SetLastError(error);
        Fail("cannot open the file");
    }
    LARGE_INTEGER bytes;
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        throw TiffError("it is not a regular file");
    }
    if (!GetFileSizeEx(h, &bytes)) {
        DWORD error = GetLastError();
        CloseHandle(h);
        SetLastError(error);
        Fail("cannot tell the file's size");
    }
    size = static_cast<std::uint64_t>(bytes.QuadPart);
    return reinterpret_cast<std::intptr_t>(h);
}

std::intptr_t CreateNew(const std::string& path)
{
    // Sharing delete lets MoveTo rename it while it is open; no one else can read or write it.
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE, nullptr,
                           CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        Fail("cannot create the file");
    return reinterpret_cast<std::intptr_t>(h);
}

OVERLAPPED At(std::uint64_t offset)
{
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
}

std::int64_t ReadAt(std::intptr_t handle, std::uint64_t offset, std::uint8_t* data,
                    std::size_t size)
{
    OVERLAPPED at = At(offset);
    DWORD done = 0;
    if (!ReadFile(AsHandle(handle), data, static_cast<DWORD>(size), &done, &at))
        return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
    return done;
}

std::int64_t WriteAt(std::intptr_t handle, std::uint64_t offset, const std::uint8_t* data,
                     std::size_t size)
{
    OVERLAPPED at = At(offset);
    DWORD done = 0;
    if (!WriteFile(AsHandle(handle), data, static_cast<DWORD>(size), &done, &at))
        return -1;
    return done;
}

bool TruncateFile(std::intptr_t handle, std::uint64_t size)
{
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    return SetFileInformationByHandle(AsHandle(handle), FileEndOfFileInfo, &end, sizeof end);
}

bool FlushFile(std::intptr_t handle) { return FlushFileBuffers(AsHandle(handle)); }

std::optional<std::uint64_t> WriteTimeOf(std::intptr_t handle)
{
    FILETIME written;
    if (!GetFileTime(AsHandle(handle), nullptr, nullptr, &written))
        return std::nullopt;
    return (std::uint64_t{written.dwHighDateTime} << 32) | written.dwLowDateTime;
}

void CloseFile(std::intptr_t handle) { CloseHandle(AsHandle(handle)); }

bool Rename(const std::string& from, const std::string& to, bool replace)
{
    return MoveFileExA(from.c_str(), to.c_str(), replace ? MOVEFILE_REPLACE_EXISTING : 0);
}

void DeleteName(const std::string& path) { DeleteFileA(path.c_str()); }

}  // namespace

void RemoveLeftover(const std::string& path)
{
    // Opening it unshared fails while anyone holds it; closing deletes it.
    HANDLE h = CreateFileA(path.c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
}

#else

std::string LastErrorText() { return std::generic_category().message(errno); }

// Whether path still names the regular file open as fd: between opening and locking,
// a RemoveLeftover may have taken the name away.
bool NamesThisFile(int fd, const std::string& path)
{
    struct stat opened, named;
    return fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && lstat(path.c_str(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

// Locks of cooperating programs (advisory); the lock goes with the open file.
bool Lock(int fd) { return flock(fd, LOCK_EX | LOCK_NB) == 0; }

std::intptr_t OpenExisting(const std::string& path, bool forAppending, std::uint64_t& size)
{
    // Non-blocking, so a FIFO does not wait for a writer before it is refused.
    int fd = open(path.c_str(), (forAppending ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == EISDIR)
            throw TiffError("it is a directory, not a file");
        if (forAppending && errno == ENOENT)
            return -1;
        Fail("cannot open the file");
    }
    struct stat st;
    const char* refusal = fstat(fd, &st) != 0         ? "cannot tell the file's size"
                          : S_ISDIR(st.st_mode)       ? "it is a directory, not a file"
                          : !S_ISREG(st.st_mode)      ? "it is not a regular file"
                          : forAppending && !Lock(fd) ? "the file is in use by another program"
                                                      : nullptr;
    if (refusal) {
        close(fd);
        throw TiffError(refusal);
    }
    size = static_cast<std::uint64_t>(st.st_size);
    return fd;
}

std::intptr_t CreateNew(const std::string& path)
{
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        Fail("cannot create the file");
    if (!Lock(fd) || !NamesThisFile(fd, path)) {
        close(fd);
        throw TiffError("it is being written by another program");
    }
    return fd;
}

std::int64_t ReadAt(std::intptr_t handle, std::uint64_t offset, std::uint8_t* data,
                    std::size_t size)
{
    ssize_t done;
    do
        done = pread(static_cast<int>(handle), data, size, static_cast<off_t>(offset));
    while (done < 0 && errno == EINTR);
    return done;
}

std::int64_t WriteAt(std::intptr_t handle, std::uint64_t offset, const std::uint8_t* data,
                     std::size_t size)
{
    ssize_t done;
    do
        done = pwrite(static_cast<int>(handle), data, size, static_cast<off_t>(offset));
    while (done < 0 && errno == EINTR);  // interrupted before anything was written
    return done;
}

bool TruncateFile(std::intptr_t handle, std::uint64_t size)
{
    int done;
    do
        done = ftruncate(static_cast<int>(handle), static_cast<off_t>(size));
    while (done != 0 && errno == EINTR);
    return done == 0;
}

bool FlushFile(std::intptr_t handle) { return fsync(static_cast<int>(handle)) == 0; }

std::optional<std::uint64_t> WriteTimeOf(std::intptr_t handle)
{
    struct stat st;
    if (fstat(static_cast<int>(handle), &st) != 0)
        return std::nullopt;
    return std::uint64_t(st.st_mtim.tv_sec) * 1000000000u + std::uint64_t(st.st_mtim.tv_nsec);
}

void CloseFile(std::intptr_t handle) { close(static_cast<int>(handle)); }

bool Rename(const std::string& from, const std::string& to, bool replace)
{
    if (replace)
        return rename(from.c_str(), to.c_str()) == 0;
    // A link fails when the name is taken, where rename would replace it. Should the
    // old name outlive a crash here, it is a leftover the next Create removes.
    if (link(from.c_str(), to.c_str()) != 0)
        return false;
    unlink(from.c_str());
    return true;
}

void DeleteName(const std::string& path) { unlink(path.c_str()); }

}  // namespace

void RemoveLeftover(const std::string& path)
{
    int fd = open(path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0)
        return;
    // Never emptied, only unlinked: after a crash in Rename it may be a second name of the file.
    if (Lock(fd) && NamesThisFile(fd, path))
        unlink(path.c_str());
    close(fd);
}

#endif

File File::OpenForReading(const std::string& path)
{
    std::uint64_t size = 0;
    std::intptr_t handle = OpenExisting(path, false, size);
    return File(handle, path, size, nullptr);
}

std::optional<File> File::OpenForAppending(const std::string& path, WriteFaults* faults)
{
    std::uint64_t size = 0;
    std::intptr_t handle = OpenExisting(path, true, size);
    if (handle == -1)
        return std::nullopt;
    return File(handle, path, size, faults);
}

File File::Create(const std::string& path, WriteFaults* faults)
{
    RemoveLeftover(path);
    return File(CreateNew(path), path, 0, faults);
}

File::File(File&& other) noexcept
        : handle_(std::exchange(other.handle_, -1)), path_(std::move(other.path_)),
          size_(other.size_), faults_(other.faults_)
{
}

File& File::operator=(File&& other) noexcept
{
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, -1);
        path_ = std::move(other.path_);
        size_ = other.size_;
        faults_ = other.faults_;
    }
    return *this;
}

File::~File() { Close(); }

void File::Close()
{
    if (handle_ != -1)
        CloseFile(std::exchange(handle_, -1));
}

void File::Read(std::uint64_t offset, std::span<std::uint8_t> out) const
{
    CheckRange(offset, out.size());
    for (std::size_t done = 0; done < out.size();) {
        std::int64_t n = ReadAt(handle_, offset + done, out.data() + done,
                                std::min(out.size() - done, kMaxChunk));
        if (n < 0)
            Fail("reading failed at offset " + std::to_string(offset + done));
        if (n == 0)
            throw TiffError("reading failed at offset " + std::to_string(offset + done) +
                            ": the file ends there");
        done += static_cast<std::size_t>(n);
    }
}

void File::Write(std::uint64_t offset, std::span<const std::uint8_t> bytes)
{
    std::string what = "writing " + std::to_string(bytes.size()) + " bytes at offset " +
                       std::to_string(offset) + " failed";
    if (faults_ && faults_->writesBeforeFailure >= 0 && faults_->writesBeforeFailure-- == 0)
        throw TiffError(what + " (" + std::make_error_code(std::errc::io_error).message() + ")");
    for (std::size_t done = 0; done < bytes.size();) {
        std::int64_t n = WriteAt(handle_, offset + done, bytes.data() + done,
                                 std::min(bytes.size() - done, kMaxChunk));
        if (n <= 0)
            Fail(what);
        done += static_cast<std::size_t>(n);
        size_ = std::max(size_, offset + done);
    }
}

void File::Truncate(std::uint64_t size)
{
    if (!TruncateFile(handle_, size))
        Fail("cutting the file to " + std::to_string(size) + " bytes failed");
    size_ = size;
}

std::optional<std::uint64_t> File::WriteTime() const { return WriteTimeOf(handle_); }

void File::Flush()
{
    if (!FlushFile(handle_))
        Fail("flushing to disk failed");
}

void File::MoveTo(const std::string& path, bool replace)
{
    if (!Rename(path_, path, replace))
        Fail("cannot rename it to " + path);
    path_ = path;
}

void File::Delete()
{
    DeleteName(path_);
    Close();
}

}  // namespace faxtiff
