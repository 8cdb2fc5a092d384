#pragma once
// Encodes rows, given as changing elements or as a page bitmap, as one CCITT strip.
#include <cstdint>
#include <span>
#include <vector>

#include "tiff/bit_writer.h"
#include "tiff/fax_scheme.h"
#include "tiff/fax_tables.h"
#include "tiff/page_bitmap.h"

namespace faxtiff::fax {

// Group 3 2D codes every K-th row 1D, so a damaged row spoils at most K rows.
inline constexpr int kGroup3TwoDK = 4;

// Group 3 puts an EOL before every row, padded so that it ends on a byte boundary
// (T4Options bit 2); Group 4 ends with EOFB.
class FaxEncoder {
public:
    // Replaces out with the coded rows as they are added; out is complete after Finish.
    FaxEncoder(FaxScheme scheme, int width, std::vector<std::uint8_t>& out);

    // Codes the next row from its changes (see row_changes.h): ascending, each below
    // the width, as FaxDecoder and FindChanges give them.
    void AddRow(std::span<const std::int32_t> changes);
    void Finish();

private:
    // Room for the worst row: every pixel a run, each with a make-up and a terminating code.
    void ReserveRow();
    void PutEol();
    void Encode1DRow(int count);
    // Codes coding_ against reference_; both end with kChangeSentinels widths.
    void Encode2DRow();
    void PutRun(int color, int run);

    FaxScheme scheme_;
    int width_;
    const EncodeTables& codes_;
    BitWriter bits_;
    std::vector<std::int32_t> coding_;
    std::vector<std::int32_t> reference_;
    std::uint32_t row_ = 0;
};

// Replaces out with the page coded as one strip.
void EncodeFax(const PageBitmap& bitmap, FaxScheme scheme, std::vector<std::uint8_t>& out);

}  // namespace faxtiff::fax
