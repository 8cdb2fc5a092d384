#include "record_assembler.h"

#include <cstring>

#include "product/prn_pipe.h"

namespace {

constexpr std::size_t kLongestRecord = sizeof(PrnPipeRecordHeader) + kMaxPathUnits * 2;

}  // namespace

RecordAssembler::RecordAssembler() : bytes_(kLongestRecord) {}

RecordAssembler::Next RecordAssembler::Take(WireRecord& record)
{
    std::size_t held = end_ - start_;
    if (held >= sizeof(PrnPipeRecordHeader)) {
        PrnPipeRecordHeader header;
        std::memcpy(&header, bytes_.data() + start_, sizeof header);
        if (header.units > kMaxPathUnits)
            return Next::BadLength;
        std::size_t size = sizeof header + std::size_t{header.units} * 2;
        if (held >= size) {
            record = {header.code, bytes_.data() + start_ + sizeof header, header.units};
            start_ += size;
            return Next::Record;
        }
    }
    // The unfinished record moves to the front, so the rest of it fits behind.
    std::memmove(bytes_.data(), bytes_.data() + start_, held);
    start_ = 0;
    end_ = held;
    return Next::NeedMore;
}
