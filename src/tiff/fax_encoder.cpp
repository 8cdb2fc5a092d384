#include "tiff/fax_encoder.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <utility>

#include "tiff/fax_tables.h"
#include "tiff/row_changes.h"

namespace faxtiff::fax {

FaxEncoder::FaxEncoder(FaxScheme scheme, int width, std::vector<std::uint8_t>& out)
        : scheme_(scheme), width_(width), codes_(Encoding()), bits_(out),
          coding_(width + kChangeSentinels + 1), reference_(width + kChangeSentinels + 1)
{
    AddSentinels(reference_.data(), 0, width);
}

void FaxEncoder::AddRow(std::span<const std::int32_t> changes)
{
    if (changes.size() > static_cast<std::size_t>(width_))
        throw std::logic_error("more changes than pixels");
    std::copy(changes.begin(), changes.end(), coding_.begin());
    int count = static_cast<int>(changes.size());
    AddSentinels(coding_.data(), count, width_);
    ReserveRow();
    switch (scheme_) {
    case FaxScheme::ModifiedHuffman:
        Encode1DRow(count);
        bits_.AlignToByte();
        break;
    case FaxScheme::Group3OneD:
        PutEol();
        Encode1DRow(count);
        break;
    case FaxScheme::Group3TwoD:
        PutEol();
        if (row_ % kGroup3TwoDK == 0) {
            bits_.Put(1, 1);
            Encode1DRow(count);
        } else {
            bits_.Put(0, 1);
            Encode2DRow();
        }
        break;
    case FaxScheme::Group4:
        Encode2DRow();
        break;
    }
    std::swap(coding_, reference_);
    ++row_;
}

void FaxEncoder::Finish()
{
    if (scheme_ == FaxScheme::Group4) {
        ReserveRow();
        bits_.Put(kEol.bits, kEol.length);
        bits_.Put(kEol.bits, kEol.length);
    }
    bits_.Finish();
}

void FaxEncoder::ReserveRow() { bits_.Reserve(static_cast<std::size_t>(width_ + 4) * 7); }

void FaxEncoder::PutEol()
{
    bits_.PadTo(4);  // the 12-bit EOL then ends on a byte boundary
    bits_.Put(kEol.bits, kEol.length);
}

void FaxEncoder::Encode1DRow(int count)
{
    const std::int32_t* changes = coding_.data();
    int a0 = 0;
    for (int i = 0; i <= count; ++i) {
        int end = i < count ? changes[i] : width_;
        PutRun(i & 1, end - a0);
        a0 = end;
    }
}

void FaxEncoder::Encode2DRow()
{
    const std::int32_t* coding = coding_.data();
    const std::int32_t* reference = reference_.data();
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
        if (a0 >= width_)
            return;
        while (reference[j] <= a0)
            j += 2;
    }
}

void FaxEncoder::PutRun(int color, int run)
{
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

void EncodeFax(const PageBitmap& bitmap, FaxScheme scheme, std::vector<std::uint8_t>& out)
{
    int width = static_cast<int>(bitmap.Width());
    std::vector<std::int32_t> changes(width + kChangeSentinels + 1);
    FaxEncoder encoder(scheme, width, out);
    for (std::uint32_t row = 0; row < bitmap.Length(); ++row) {
        int count = FindChanges(bitmap.Row(row), width, changes.data());
        encoder.AddRow(
            std::span<const std::int32_t>(changes.data(), static_cast<std::size_t>(count)));
    }
    encoder.Finish();
}

}  // namespace faxtiff::fax
