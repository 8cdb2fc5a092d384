#pragma once
// Gathers the bytes of one connection and cuts them into wire records, however the
// client split its writes.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

struct WireRecord {
    std::uint32_t code;
    const unsigned char* path;  // UTF-16LE units, not necessarily aligned
    std::uint32_t units;
};

class RecordAssembler {
public:
    RecordAssembler();

    // Where the next read puts its bytes; there is always room for the rest of the
    // record begun.
    unsigned char* Space() { return bytes_.data() + end_; }
    DWORD SpaceSize() const { return static_cast<DWORD>(bytes_.size() - end_); }
    void Received(DWORD count) { end_ += count; }

    enum class Next { Record, NeedMore, BadLength };
    // The next complete record; its path stays valid until the next call.
    Next Take(WireRecord& record);

    void Clear() { start_ = end_ = 0; }
    // Whether bytes of a record not yet complete are held.
    bool Partial() const { return end_ > start_; }

private:
    std::vector<unsigned char> bytes_;
    std::size_t start_ = 0;
    std::size_t end_ = 0;
};
