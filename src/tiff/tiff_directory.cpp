#include "tiff/tiff_directory.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <unordered_set>

#include "tiff/page_bitmap.h"
#include "tiff/tiff_error.h"
#include "tiff/tiff_tags.h"

namespace faxtiff {
namespace {

constexpr std::uint32_t kIfdEntrySize = 12;

struct Entry {
    std::uint16_t tag = 0;
    std::uint16_t type = 0;
    std::uint32_t count = 0;
    std::array<std::uint8_t, 4> value{};  // the value itself when it fits, else its offset
};

std::string Hex(std::uint32_t v)
{
    static const char digits[] = "0123456789abcdef";
    std::string s;
    do {
        s.insert(s.begin(), digits[v & 15]);
        v >>= 4;
    } while (v != 0);
    return "0x" + s;
}

class Directory {
public:
    Directory(const ByteSource& source, ByteOrder order, std::uint32_t offset)
            : source_(source), order_(order)
    {
        std::uint8_t countBytes[2];
        source.Read(offset, countBytes);
        std::uint16_t count = Get16(countBytes, order);
        std::vector<std::uint8_t> raw(std::size_t{count} * kIfdEntrySize);
        source.Read(std::uint64_t{offset} + 2, raw);
        entries_.resize(count);
        for (std::uint16_t i = 0; i < count; ++i) {
            const std::uint8_t* p = raw.data() + std::size_t{i} * kIfdEntrySize;
            Entry& e = entries_[i];
            e.tag = Get16(p, order);
            e.type = Get16(p + 2, order);
            e.count = Get32(p + 4, order);
            std::copy(p + 8, p + 12, e.value.begin());
        }
        // Sorted, so a directory of 65535 entries is looked up quickly; stable, so the
        // first of duplicates comes first and counts.
        std::stable_sort(entries_.begin(), entries_.end(),
                         [](const Entry& a, const Entry& b) { return a.tag < b.tag; });
    }

    const std::vector<Entry>& Entries() const { return entries_; }

    const Entry* Find(std::uint16_t tag) const
    {
        auto at = std::lower_bound(entries_.begin(), entries_.end(), tag,
                                   [](const Entry& e, std::uint16_t t) { return e.tag < t; });
        return at != entries_.end() && at->tag == tag ? &*at : nullptr;
    }

    // Integer values of a BYTE, SHORT or LONG tag; at most maxCount of them.
    std::vector<std::uint32_t> Numbers(const Entry& e, std::uint32_t maxCount) const
    {
        std::uint32_t size;
        switch (e.type) {
        case kByte:
            size = 1;
            break;
        case kShort:
            size = 2;
            break;
        case kLong:
            size = 4;
            break;
        default:
            throw TiffError("tag " + std::to_string(e.tag) + " has type " + std::to_string(e.type) +
                            " where a number belongs");
        }
        if (e.count == 0)
            throw TiffError("tag " + std::to_string(e.tag) + " has no value");
        if (e.count > maxCount)
            throw TiffError("tag " + std::to_string(e.tag) + " has " + std::to_string(e.count) +
                            " values, at most " + std::to_string(maxCount) + " make sense");
        std::vector<std::uint8_t> bytes(std::size_t{e.count} * size);
        if (bytes.size() <= 4)
            std::copy(e.value.begin(), e.value.begin() + bytes.size(), bytes.begin());
        else
            source_.Read(Get32(e.value.data(), order_), bytes);
        std::vector<std::uint32_t> values(e.count);
        for (std::uint32_t i = 0; i < e.count; ++i) {
            const std::uint8_t* p = bytes.data() + std::size_t{i} * size;
            values[i] = size == 1 ? *p : size == 2 ? Get16(p, order_) : Get32(p, order_);
        }
        return values;
    }

    // A tag that holds one number.
    std::uint32_t Number(std::uint16_t tag, std::uint32_t fallback) const
    {
        const Entry* e = Find(tag);
        return e ? Numbers(*e, 1).front() : fallback;
    }

    std::optional<Rational> RationalValue(std::uint16_t tag, const char* name) const
    {
        const Entry* e = Find(tag);
        if (!e)
            return std::nullopt;
        if (e->type != kRational || e->count != 1)
            throw TiffError(std::string(name) + " is not one RATIONAL");
        std::uint8_t bytes[8];
        source_.Read(Get32(e->value.data(), order_), bytes);
        Rational r{Get32(bytes, order_), Get32(bytes + 4, order_)};
        if (r.denominator == 0)
            throw TiffError(std::string(name) + " has a zero denominator");
        return r;
    }

private:
    const ByteSource& source_;
    ByteOrder order_;
    std::vector<Entry> entries_;
};

void CheckCoding(PageInfo& info)
{
    switch (info.compression) {
    case 1:
    case 2:
    case 32773:
        break;
    case 3:
        if (info.t4Options & ~std::uint32_t{7})
            throw TiffError("unsupported T4Options " + Hex(info.t4Options));
        break;
    case 4:
        if (info.t6Options & ~std::uint32_t{2})
            throw TiffError("unsupported T6Options " + Hex(info.t6Options));
        break;
    default:
        throw TiffError("unsupported compression " + std::to_string(info.compression) + " (" +
                        CompressionName(info.compression) + ")");
    }
}

std::string StripName(std::size_t index) { return "strip " + std::to_string(index + 1); }

// Each strip must lie in the file and be able to hold its rows at all, and the page may
// not come to more pixels than its bytes can carry, so a tiny file cannot make the
// decoder allocate or work for a huge page.
void CheckStrips(const PageDirectory& page, std::uint64_t fileSize)
{
    const PageInfo& info = page.info;
    std::uint64_t rowBytes = (std::uint64_t{info.width} + 7) / 8;
    std::uint64_t bitmapBytes = rowBytes * info.length;
    if (info.compressedBytes > 16 * bitmapBytes + (1u << 20))
        throw TiffError("strips hold " + std::to_string(info.compressedBytes) +
                        " bytes, far more than a page of this size needs");
    CheckCodedSize(info.width, info.length, info.compressedBytes);
    for (std::size_t i = 0; i < page.stripOffsets.size(); ++i) {
        std::uint64_t offset = page.stripOffsets[i], size = page.stripByteCounts[i];
        if (offset + size > fileSize)
            throw TiffError(StripName(i) + " (" + std::to_string(size) + " bytes at offset " +
                            std::to_string(offset) + ") runs past the end of the file (" +
                            std::to_string(fileSize) + " bytes)");
        std::uint64_t rows = std::min<std::uint64_t>(
            info.rowsPerStrip, info.length - std::uint64_t{info.rowsPerStrip} * i);
        bool enough = info.compression == 1       ? size >= rows * rowBytes
                      : info.compression == 32773 ? size * 64 >= rows * rowBytes
                                                  : size * 8 >= rows;
        if (!enough)
            throw TiffError(StripName(i) + " holds " + std::to_string(size) +
                            " bytes, too few for its " + std::to_string(rows) + " rows");
    }
}

}  // namespace

TiffHeader ReadHeader(const ByteSource& source)
{
    if (source.Size() < 8)
        throw TiffError("not a TIFF file (only " + std::to_string(source.Size()) + " bytes)");
    std::uint8_t h[8];
    source.Read(0, h);
    ByteOrder order;
    if (h[0] == 'I' && h[1] == 'I')
        order = ByteOrder::LittleEndian;
    else if (h[0] == 'M' && h[1] == 'M')
        order = ByteOrder::BigEndian;
    else
        throw TiffError("not a TIFF file");
    std::uint16_t version = Get16(h + 2, order);
    if (version == 43)
        throw TiffError("BigTIFF files are not supported");
    if (version != 42)
        throw TiffError("not a TIFF file (version " + std::to_string(version) + ")");
    return {order, Get32(h + 4, order)};
}

namespace {

std::uint32_t TypeSize(std::uint16_t type)
{
    switch (type) {
    case 1:
    case 2:
    case 6:
    case 7:
        return 1;  // BYTE ASCII SBYTE UNDEFINED
    case 3:
    case 8:
        return 2;  // SHORT SSHORT
    case 4:
    case 9:
    case 11:
    case 13:
        return 4;  // LONG SLONG FLOAT IFD
    case 5:
    case 10:
    case 12:
        return 8;  // RATIONAL SRATIONAL DOUBLE
    }
    return 0;  // unknown: its size cannot be told
}

struct Span {
    std::uint64_t begin, end;
    bool Empty() const { return begin >= end; }
    bool Overlaps(const Span& other) const
    {
        return !Empty() && !other.Empty() && begin < other.end && other.begin < end;
    }
};

// Where one directory and what it points at lie, read without judging its tags: the
// page may be one the engine refuses to decode.
struct DirectoryParts {
    Span directory;            // the entries and the next-directory offset
    std::vector<Span> values;  // tag values that do not fit in their entry
    std::vector<Span> strips;  // from StripOffsets and StripByteCounts, in order
    std::vector<Span> tiles;
};

// The data the offsets and byte counts point at; none when they cannot be read.
std::vector<Span> DataSpans(const Directory& dir, std::uint16_t offsetsTag, std::uint16_t countsTag)
{
    const Entry* offsets = dir.Find(offsetsTag);
    const Entry* counts = dir.Find(countsTag);
    std::vector<Span> spans;
    if (!offsets || !counts)
        return spans;
    try {
        // Read as ReadPageDirectory reads them; more strips than a page has rows make no
        // page the engine decodes.
        std::vector<std::uint32_t> begins = dir.Numbers(*offsets, kMaxPageLength);
        std::vector<std::uint32_t> sizes = dir.Numbers(*counts, kMaxPageLength);
        for (std::size_t i = 0; i < begins.size() && i < sizes.size(); ++i)
            spans.push_back({begins[i], std::uint64_t{begins[i]} + sizes[i]});
    } catch (const TiffError&) {
    }
    return spans;
}

DirectoryParts ReadParts(const ByteSource& source, ByteOrder order, std::uint32_t offset)
{
    Directory dir(source, order, offset);
    DirectoryParts parts;
    parts.directory = {offset,
                       std::uint64_t{offset} + 2 + kIfdEntrySize * dir.Entries().size() + 4};
    for (const Entry& e : dir.Entries()) {
        std::uint64_t size = std::uint64_t{e.count} * TypeSize(e.type);
        std::uint32_t at = Get32(e.value.data(), order);
        if (size > 4)
            parts.values.push_back({at, at + size});
    }
    parts.strips = DataSpans(dir, kStripOffsets, kStripByteCounts);
    parts.tiles = DataSpans(dir, kTileOffsets, kTileByteCounts);
    return parts;
}

struct PageStrip {
    Span span;
    std::size_t page, index;
};

std::string StripOfPage(const PageStrip& s)
{
    return "strip " + std::to_string(s.index + 1) + " of page " + std::to_string(s.page + 1);
}

// A real page's strips are its own. Shared ones would let a small file make the engine
// decode the same bytes again and again, page after page.
void CheckStripsApart(std::vector<PageStrip> strips)
{
    std::sort(strips.begin(), strips.end(),
              [](const PageStrip& a, const PageStrip& b) { return a.span.begin < b.span.begin; });
    const PageStrip* furthest = nullptr;  // of the strips so far, the one reaching furthest
    for (const PageStrip& s : strips) {
        if (furthest && s.span.Overlaps(furthest->span)) {
            auto [first, second] =
                std::minmax(s, *furthest, [](const PageStrip& a, const PageStrip& b) {
                    return std::pair(a.page, a.index) < std::pair(b.page, b.index);
                });
            throw TiffError("page " + std::to_string(second.page + 1) + ": strip " +
                            std::to_string(second.index + 1) + " overlaps " + StripOfPage(first));
        }
        if (!furthest || s.span.end > furthest->span.end)
            furthest = &s;
    }
}

}  // namespace

IfdChain WalkIfdChain(const ByteSource& source, const TiffHeader& header)
{
    IfdChain chain;
    std::unordered_set<std::uint32_t> seen;
    std::vector<PageStrip> strips;
    std::uint32_t offset = header.firstIfd;
    if (offset == 0)
        throw TiffError("the file has no pages");
    while (offset != 0) {
        std::string page = "page " + std::to_string(chain.offsets.size() + 1);
        if (!seen.insert(offset).second)
            throw TiffError(page + ": the directory chain loops back to offset " +
                            std::to_string(offset));
        if (offset < 8 || std::uint64_t{offset} + 2 > source.Size())
            throw TiffError(page + ": directory offset " + std::to_string(offset) +
                            " lies outside the file");
        std::uint8_t countBytes[2];
        source.Read(offset, countBytes);
        std::uint16_t count = Get16(countBytes, header.order);
        if (count == 0)
            throw TiffError(page + ": empty directory");
        std::uint64_t next = std::uint64_t{offset} + 2 + std::uint64_t{count} * kIfdEntrySize;
        if (next + 4 > source.Size())
            throw TiffError(page + ": directory at offset " + std::to_string(offset) +
                            " runs past the end of the file");
        std::vector<Span> pageStrips = ReadParts(source, header.order, offset).strips;
        for (std::size_t i = 0; i < pageStrips.size(); ++i)
            if (!pageStrips[i].Empty())
                strips.push_back({pageStrips[i], chain.offsets.size(), i});
        std::uint8_t nextBytes[4];
        source.Read(next, nextBytes);
        chain.offsets.push_back(offset);
        chain.lastEntryCount = count;
        offset = Get32(nextBytes, header.order);
    }
    CheckStripsApart(std::move(strips));
    return chain;
}

void CheckAppendable(const ByteSource& source, ByteOrder order, const IfdChain& chain)
{
    Span directory = ReadParts(source, order, chain.offsets.back()).directory;
    Span link{directory.end - 4, directory.end};
    Span beyond{source.Size(), UINT64_MAX};  // where new pages go
    auto check = [&](const Span& span, const std::string& what) {
        if (link.Overlaps(span))
            throw TiffError("the last page's next-directory offset lies inside " + what);
        if (beyond.Overlaps(span))
            throw TiffError(what + " runs past the end of the file");
    };
    for (std::size_t page = 0; page < chain.offsets.size(); ++page) {
        DirectoryParts parts = ReadParts(source, order, chain.offsets[page]);
        std::string name = "page " + std::to_string(page + 1);
        if (page + 1 < chain.offsets.size())
            check(parts.directory, "the directory of " + name);
        for (const Span& value : parts.values)
            check(value, "a tag value of " + name);
        for (const std::vector<Span>* data : {&parts.strips, &parts.tiles})
            for (const Span& span : *data)
                check(span, "the image data of " + name);
    }
}

PageDirectory ReadPageDirectory(const ByteSource& source, ByteOrder order, std::uint32_t offset)
{
    Directory dir(source, order, offset);
    if (dir.Find(kTileWidth) || dir.Find(kTileLength) || dir.Find(kTileOffsets) ||
        dir.Find(kTileByteCounts))
        throw TiffError("tiled pages are not supported");

    PageDirectory page;
    PageInfo& info = page.info;
    info.compression = static_cast<std::uint16_t>(dir.Number(kCompression, 1));
    info.t4Options = dir.Number(kT4Options, 0);
    info.t6Options = dir.Number(kT6Options, 0);
    CheckCoding(info);

    std::uint32_t samples = dir.Number(kSamplesPerPixel, 1);
    if (samples != 1)
        throw TiffError(std::to_string(samples) +
                        " samples per pixel: only bilevel pages are supported");
    if (const Entry* bits = dir.Find(kBitsPerSample))
        for (std::uint32_t b : dir.Numbers(*bits, 1))
            if (b != 1)
                throw TiffError(std::to_string(b) +
                                " bits per sample: only bilevel (1 bit) pages are supported");
    std::uint32_t photometric = dir.Number(kPhotometric, 0);
    if (photometric > 1)
        throw TiffError("photometric interpretation " + std::to_string(photometric) +
                        (photometric == 2   ? " (RGB)"
                         : photometric == 3 ? " (palette)"
                                            : "") +
                        ": only bilevel pages are supported");
    info.photometric = static_cast<std::uint16_t>(photometric);

    if (!dir.Find(kImageWidth))
        throw TiffError("no ImageWidth tag");
    if (!dir.Find(kImageLength))
        throw TiffError("no ImageLength tag");
    info.width = dir.Number(kImageWidth, 0);
    info.length = dir.Number(kImageLength, 0);
    PageBitmap::CheckSize(info.width, info.length);

    std::uint32_t fillOrder = dir.Number(kFillOrder, 1);
    if (fillOrder != 1 && fillOrder != 2)
        throw TiffError("FillOrder " + std::to_string(fillOrder) + " is not 1 or 2");
    info.fillOrder = static_cast<std::uint16_t>(fillOrder);
    std::uint32_t planar = dir.Number(kPlanarConfiguration, 1);
    if (planar != 1 && planar != 2)
        throw TiffError("PlanarConfiguration " + std::to_string(planar) + " is not 1 or 2");
    std::uint32_t orientation = dir.Number(kOrientation, 1);
    info.orientation =
        static_cast<std::uint16_t>(orientation >= 1 && orientation <= 8 ? orientation : 1);

    std::optional<Rational> x = dir.RationalValue(kXResolution, "XResolution");
    std::optional<Rational> y = dir.RationalValue(kYResolution, "YResolution");
    std::uint32_t unit = dir.Number(kResolutionUnit, 2);
    if (unit < 1 || unit > 3)
        throw TiffError("ResolutionUnit " + std::to_string(unit) + " is not 1, 2 or 3");
    if (x && y)
        info.resolution = Resolution{*x, *y, static_cast<std::uint16_t>(unit)};

    std::uint32_t rowsPerStrip = dir.Number(kRowsPerStrip, 0xFFFFFFFF);
    if (rowsPerStrip == 0)
        throw TiffError("RowsPerStrip is 0");
    info.rowsPerStrip = std::min(rowsPerStrip, info.length);
    info.stripCount = (info.length + info.rowsPerStrip - 1) / info.rowsPerStrip;

    const Entry* offsets = dir.Find(kStripOffsets);
    const Entry* counts = dir.Find(kStripByteCounts);
    if (!offsets)
        throw TiffError("no StripOffsets tag");
    if (!counts)
        throw TiffError("no StripByteCounts tag");
    page.stripOffsets = dir.Numbers(*offsets, info.stripCount);
    page.stripByteCounts = dir.Numbers(*counts, info.stripCount);
    if (page.stripOffsets.size() != info.stripCount ||
        page.stripByteCounts.size() != info.stripCount)
        throw TiffError(std::to_string(info.length) + " rows at " +
                        std::to_string(info.rowsPerStrip) + " per strip make " +
                        std::to_string(info.stripCount) + " strips, but the file lists " +
                        std::to_string(page.stripOffsets.size()) + " offsets and " +
                        std::to_string(page.stripByteCounts.size()) + " byte counts");
    for (std::uint32_t c : page.stripByteCounts)
        info.compressedBytes += c;
    CheckStrips(page, source.Size());
    return page;
}

}  // namespace faxtiff
