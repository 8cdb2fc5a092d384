#include "tiff/fax_decoder.h"

#include <algorithm>
#include <bit>
#include <string>
#include <utility>

#include "tiff/bit_reader.h"
#include "tiff/fax_tables.h"
#include "tiff/row_changes.h"
#include "tiff/tiff_error.h"

namespace faxtiff::fax {
namespace {

constexpr int kUncompressedRun = -1;

// One row's worth of decoding state over a strip's bit stream.
class RowDecoder {
public:
    RowDecoder(std::span<const std::uint8_t> data, int width)
            : bits_(data), width_(width), white_(WhiteRuns()), black_(BlackRuns()),
              modes_(Modes2D())
    {
    }

    BitReader& Bits() { return bits_; }
    void StartRow(std::uint32_t row, std::int32_t* coding)
    {
        row_ = row;
        rowStart_ = bits_.Position();
        coding_ = coding;
        count_ = 0;
    }
    int ChangeCount() const { return count_; }

    [[noreturn]] void Fail(const std::string& what) const
    {
        if (bits_.Overrun())
            FailEnded();
        throw TiffError("row " + std::to_string(row_ + 1) + ": " + what);
    }

    // For bits that are no code word: near the end of the data that means the data was cut off.
    [[noreturn]] void FailBadCode(const std::string& what) const
    {
        if (bits_.Position() + kLongestCode > bits_.Size())
            FailEnded();
        Fail(what);
    }

    void CheckNotOverrun() const
    {
        if (bits_.Overrun())
            FailEnded();
    }

    // Consumes fill bits and EOL codes before a row; returns whether there was an EOL.
    bool SkipEols()
    {
        bool sawEol = false;
        for (;;) {
            bits_.Refill();
            std::uint32_t next = bits_.Peek(12);
            if (next == 1) {
                bits_.Consume(12);
                sawEol = true;
            } else if (next == 0) {
                // Fill: any number of zero bits, then the 1 that ends an EOL.
                for (;;) {
                    bits_.Refill();
                    std::uint32_t word = bits_.Peek(32);
                    if (word != 0) {
                        bits_.Consume(std::countl_zero(word) + 1);
                        break;
                    }
                    bits_.Consume(32);
                    if (bits_.Overrun())
                        FailEnded();
                }
                sawEol = true;
            } else {
                return sawEol;
            }
        }
    }

    void Decode1DRow()
    {
        int a0 = 0;
        while (a0 < width_) {
            int color = count_ & 1;
            int run = ReadRun(color, width_ - a0);
            if (run == kUncompressedRun) {
                a0 = DecodeUncompressed(a0);
                continue;
            }
            a0 += run;
            Push(a0);
        }
    }

    // reference: the previous row's changes followed by kChangeSentinels widths.
    void Decode2DRow(const std::int32_t* reference)
    {
        int a0 = -1;  // the imaginary white pixel before the row
        int j = 0;    // index of b1 in reference: the first change right of a0 of a0's parity
        while (a0 < width_) {
            int color = count_ & 1;
            int b1 = reference[j], b2 = reference[j + 1];
            bits_.Refill();
            Entry e = modes_.Find(bits_.Peek(16));
            switch (e.kind) {
            case Kind::Pass:
                bits_.Consume(e.length);
                a0 = b2;
                j += 2;
                break;
            case Kind::Horizontal: {
                bits_.Consume(e.length);
                int start = std::max(a0, 0);
                int run1 = ReadRun(color, width_ - start);
                int run2 = run1 < 0 ? -1 : ReadRun(color ^ 1, width_ - start - run1);
                if (run1 < 0 || run2 < 0)
                    Fail("uncompressed mode inside a horizontal mode code");
                Push(start + run1);
                a0 = start + run1 + run2;
                Push(a0);
                break;
            }
            case Kind::Vertical: {
                bits_.Consume(e.length);
                int a1 = b1 + e.value;
                if (a1 < std::max(a0, 0) || a1 > width_)
                    Fail("vertical mode code points outside the row");
                Push(a1);
                a0 = a1;
                j = j > 0 ? j - 1 : j + 1;
                break;
            }
            case Kind::Uncompressed:
                bits_.Consume(e.length);
                a0 = DecodeUncompressed(std::max(a0, 0));
                if ((j & 1) != (count_ & 1))
                    j = j > 0 ? j - 1 : j + 1;
                break;
            case Kind::Eol:
                Fail(a0 < 0 ? "end-of-line code where the row should start"
                            : "end-of-line code inside the row");
            default:
                FailBadCode("invalid 2D code word");
            }
            if (a0 < width_)
                while (reference[j] <= a0)
                    j += 2;
        }
    }

private:
    static constexpr int kLongestCode = 13;

    [[noreturn]] void FailEnded() const
    {
        throw TiffError("row " + std::to_string(row_ + 1) + ": the coded data ends " +
                        (rowStart_ >= bits_.Size() ? "before the row" : "inside the row"));
    }

    // Adds a change at x; one equal to the last change cancels it (a zero-length run).
    void Push(int x)
    {
        if (x >= width_)
            return;
        if (count_ > 0 && coding_[count_ - 1] == x)
            --count_;
        else
            coding_[count_++] = x;
    }

    // Make-up codes and the terminating code of one run of at most `limit` pixels, or
    // kUncompressedRun for the uncompressed-mode entrance.
    int ReadRun(int color, int limit)
    {
        const LookupTable& table = color == kWhite ? white_ : black_;
        int run = 0;
        for (;;) {
            bits_.Refill();
            Entry e = table.Find(bits_.Peek(16));
            switch (e.kind) {
            case Kind::Terminating:
                bits_.Consume(e.length);
                run += e.value;
                if (run > limit)
                    Fail("run goes past the end of the row");
                return run;
            case Kind::Makeup:
                bits_.Consume(e.length);
                run += e.value;
                if (run > limit)
                    Fail("run goes past the end of the row");
                break;
            case Kind::Uncompressed:
                if (run != 0)
                    Fail("uncompressed mode after a make-up code");
                bits_.Consume(e.length);
                return kUncompressedRun;
            case Kind::Eol:
                Fail("end-of-line code inside the row (the row is shorter than the page)");
            default:
                FailBadCode(color == kWhite ? "invalid white run code word"
                                            : "invalid black run code word");
            }
        }
    }

    // Uncompressed mode from a0 to its exit code; returns the new a0. Afterwards the
    // change parity gives the colour the exit code names for the next run.
    int DecodeUncompressed(int a0)
    {
        for (;;) {
            bits_.Refill();
            std::uint32_t next = bits_.Peek(12);
            int zeros = std::countl_zero(next << 20 | 1u << 19);
            if (zeros <= 5) {
                // zeros white pixels, then (below 5) one black pixel
                int pixels = zeros < 5 ? zeros + 1 : 5;
                if (a0 + pixels > width_)
                    Fail("uncompressed data goes past the end of the row");
                SetColor(a0, zeros, kWhite);
                if (zeros < 5)
                    SetColor(a0 + zeros, 1, kBlack);
                a0 += pixels;
                bits_.Consume(zeros + 1);
            } else if (zeros <= 10) {
                int whites = zeros - 6;
                int nextColor = (next >> (10 - zeros)) & 1;
                if (a0 + whites > width_)
                    Fail("uncompressed data goes past the end of the row");
                SetColor(a0, whites, kWhite);
                a0 += whites;
                if ((count_ & 1) != nextColor)
                    Push(a0);
                bits_.Consume(zeros + 2);
                return a0;
            } else {
                FailBadCode("invalid uncompressed mode code word");
            }
        }
    }

    // Pixels [x, x + n) get colour c.
    void SetColor(int x, int n, int c)
    {
        if (n > 0 && (count_ & 1) != c)
            Push(x);
    }

    BitReader bits_;
    int width_;
    const LookupTable& white_;
    const LookupTable& black_;
    const LookupTable& modes_;
    std::uint32_t row_ = 0;
    std::uint64_t rowStart_ = 0;
    std::int32_t* coding_ = nullptr;
    int count_ = 0;
};

}  // namespace

FaxDecoder::FaxDecoder(FaxScheme scheme, int width)
        : scheme_(scheme), width_(width), reference_(width + kChangeSentinels + 1),
          coding_(width + kChangeSentinels + 1)
{
}

void FaxDecoder::DecodeStrip(std::span<const std::uint8_t> data, std::uint32_t firstRow,
                             std::uint32_t rows, const RowSink& sink)
{
    RowDecoder decoder(data, width_);
    BitReader& bits = decoder.Bits();
    int referenceCount = 0;  // the row before the strip counts as white
    AddSentinels(reference_.data(), 0, width_);
    for (std::uint32_t row = firstRow; row < firstRow + rows; ++row) {
        decoder.StartRow(row, coding_.data());
        switch (scheme_) {
        case FaxScheme::ModifiedHuffman:
            decoder.Decode1DRow();
            bits.AlignToByte();
            break;
        case FaxScheme::Group3OneD:
            decoder.SkipEols();
            decoder.Decode1DRow();
            break;
        case FaxScheme::Group3TwoD:
            if (!decoder.SkipEols())
                decoder.Fail("no end-of-line code before the row");
            if (bits.Take(1) == 1)
                decoder.Decode1DRow();
            else
                decoder.Decode2DRow(reference_.data());
            break;
        case FaxScheme::Group4:
            decoder.Decode2DRow(reference_.data());
            break;
        }
        decoder.CheckNotOverrun();
        referenceCount = decoder.ChangeCount();
        sink(std::span<const std::int32_t>(coding_.data(),
                                           static_cast<std::size_t>(referenceCount)));
        std::swap(reference_, coding_);
        AddSentinels(reference_.data(), referenceCount, width_);
    }
}

void FaxDecoder::DecodeStrip(std::span<const std::uint8_t> data, PageBitmap& bitmap,
                             std::uint32_t firstRow, std::uint32_t rows)
{
    std::uint32_t row = firstRow;
    DecodeStrip(data, firstRow, rows, [&](std::span<const std::int32_t> changes) {
        PaintChanges(changes.data(), static_cast<int>(changes.size()), width_, bitmap.Row(row++));
    });
}

}  // namespace faxtiff::fax
