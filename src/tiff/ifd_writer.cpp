#include "tiff/ifd_writer.h"

#include <algorithm>

#include "tiff/tiff_tags.h"

namespace faxtiff {

void IfdWriter::Shorts(std::uint16_t tag, const std::vector<std::uint16_t>& values)
{
    Field f{tag, kShort, static_cast<std::uint32_t>(values.size()),
            std::vector<std::uint8_t>(values.size() * 2)};
    for (std::size_t i = 0; i < values.size(); ++i)
        Put16(f.data.data() + 2 * i, values[i], order_);
    fields_.push_back(std::move(f));
}

void IfdWriter::Longs(std::uint16_t tag, const std::vector<std::uint32_t>& values)
{
    Field f{tag, kLong, static_cast<std::uint32_t>(values.size()),
            std::vector<std::uint8_t>(values.size() * 4)};
    for (std::size_t i = 0; i < values.size(); ++i)
        Put32(f.data.data() + 4 * i, values[i], order_);
    fields_.push_back(std::move(f));
}

void IfdWriter::RationalValue(std::uint16_t tag, Rational value)
{
    Field f{tag, kRational, 1, std::vector<std::uint8_t>(8)};
    Put32(f.data.data(), value.numerator, order_);
    Put32(f.data.data() + 4, value.denominator, order_);
    fields_.push_back(std::move(f));
}

std::uint64_t IfdWriter::AppendTo(std::vector<std::uint8_t>& out, std::uint64_t fileOffset) const
{
    std::vector<const Field*> sorted;
    for (const Field& f : fields_)
        sorted.push_back(&f);
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const Field* a, const Field* b) { return a->tag < b->tag; });

    if ((fileOffset + out.size()) % 2)
        out.push_back(0);
    std::uint64_t ifdOffset = fileOffset + out.size();
    std::size_t entries = out.size() + 2;
    std::size_t extra = entries + sorted.size() * 12 + 4;
    out.resize(extra);
    Put16(out.data() + entries - 2, static_cast<std::uint16_t>(sorted.size()), order_);
    for (const Field* f : sorted) {
        std::uint8_t* e = out.data() + entries;
        Put16(e, f->tag, order_);
        Put16(e + 2, f->type, order_);
        Put32(e + 4, f->count, order_);
        if (f->data.size() <= 4) {
            std::copy(f->data.begin(), f->data.end(), e + 8);
        } else {
            std::size_t at = out.size();
            Put32(e + 8, static_cast<std::uint32_t>(fileOffset + at), order_);
            out.insert(out.end(), f->data.begin(), f->data.end());
            if ((fileOffset + out.size()) % 2)
                out.push_back(0);
        }
        entries += 12;
    }
    return ifdOffset;
}

}  // namespace faxtiff
