#include "tiff/fax_encoder.h"

#include <cstdlib>
#include <utility>

#include "tiff/bit_writer.h"
#include "tiff/fax_tables.h"
#include "tiff/row_changes.h"

namespace faxtiff::fax {
namespace {

class RowEncoder {
public:
    RowEncoder(std::vector<std::uint8_t>& out, int width)
        : bits_(out), width_(width), codes_(Encoding()) {}

    BitWriter& Bits() { return bits_; }

    // Room for the worst row: every pixel a run, each with a make-up and a terminating code.
    void ReserveRow() { bits_.Reserve(static_cast<std::size_t>(width_ + 4) * 7); }

    void PutEol() {
        bits_.PadTo(4);  // the 12-bit EOL then ends on a byte boundary
        bits_.Put(kEol.bits, kEol.length);
    }

    void Encode1DRow(const std::int32_t* changes, int count) {
        int a0 = 0;
        for (int i = 0; i <= count; ++i) {
            int end = i < count ? changes[i] : width_;
            PutRun(i & 1, end - a0);
            a0 = end;
        }
    }

    // Both lists end with kChangeSentinels widths.
    void Encode2DRow(const std::int32_t* coding, const std::int32_t* reference) {
        int a0 = -1;
        int i = 0;  // a1 = coding[i], the first change right of a0
        int j = 0;  // b1 = reference[j], the first change right of a0 with i's parity
        for (;;) {
            int a1 = coding[i], b1 = reference[j], b2 = reference[j + 1];
            if (b2 < a1) {
                bits_.Put(kPass.bits, kPass.length);
                a0 = b2;
                j += 2;
            } else if (std::abs(a1 - b1) <= 3) {
                const Code& code = kVertical[a1 - b1 + 3];
                bits_.Put(code.bits, code.length);
                a0 = a1;
                ++i;
                j = j > 0 ? j - 1 : j + 1;
            } else {
                int a2 = coding[i + 1];
                int start = a0 < 0 ? 0 : a0;
                bits_.Put(kHorizontal.bits, kHorizontal.length);
                PutRun(i & 1, a1 - start);
                PutRun((i & 1) ^ 1, a2 - a1);
                a0 = a2;
                i += 2;
            }
            if (a0 >= width_) return;
            while (reference[j] <= a0) j += 2;
        }
    }

private:
    void PutRun(int color, int run) {
        while (run >= 2560 + 64) {
            const Code& code = codes_.makeup[color][40];
            bits_.Put(code.bits, code.length);
            run -= 2560;
        }
        if (run >= 64) {
            const Code& code = codes_.makeup[color][run / 64];
            bits_.Put(code.bits, code.length);
            run %= 64;
        }
        const Code& code = codes_.terminating[color][run];
        bits_.Put(code.bits, code.length);
    }

    BitWriter bits_;
    int width_;
    const EncodeTables& codes_;
};

}  // namespace

void EncodeFax(const PageBitmap& bitmap, FaxScheme scheme, std::vector<std::uint8_t>& out) {
    int width = static_cast<int>(bitmap.Width());
    std::vector<std::int32_t> coding(width + kChangeSentinels + 1);
    std::vector<std::int32_t> reference(width + kChangeSentinels + 1);
    AddSentinels(reference.data(), 0, width);
    RowEncoder encoder(out, width);
    for (std::uint32_t row = 0; row < bitmap.Length(); ++row) {
        int count = FindChanges(bitmap.Row(row), width, coding.data());
        AddSentinels(coding.data(), count, width);
        encoder.ReserveRow();
        switch (scheme) {
        case FaxScheme::ModifiedHuffman:
            encoder.Encode1DRow(coding.data(), count);
            encoder.Bits().AlignToByte();
            break;
        case FaxScheme::Group3OneD:
            encoder.PutEol();
            encoder.Encode1DRow(coding.data(), count);
            break;
        case FaxScheme::Group3TwoD:
            encoder.PutEol();
            if (row % kGroup3TwoDK == 0) {
                encoder.Bits().Put(1, 1);
                encoder.Encode1DRow(coding.data(), count);
            } else {
                encoder.Bits().Put(0, 1);
                encoder.Encode2DRow(coding.data(), reference.data());
            }
            break;
        case FaxScheme::Group4:
            encoder.Encode2DRow(coding.data(), reference.data());
            break;
        }
        std::swap(coding, reference);
    }
    if (scheme == FaxScheme::Group4) {
        encoder.Bits().Put(kEol.bits, kEol.length);
        encoder.Bits().Put(kEol.bits, kEol.length);
    }
    encoder.Bits().Finish();
}

}  // namespace faxtiff::fax
