#pragma once
// Turns a page's strips, coded as its directory says, into its bitmap, or for CCITT
// codings into its rows as changing elements.
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "tiff/fax_decoder.h"
#include "tiff/fax_scheme.h"
#include "tiff/page_bitmap.h"
#include "tiff/page_info.h"

namespace faxtiff {

// The CCITT coding of the page's strips; nullopt for uncompressed and PackBits.
std::optional<fax::FaxScheme> FaxSchemeOf(const PageInfo& info);

// Each row of a CCITT-coded page in order (FaxSchemeOf must have one), with no bitmap
// of the page. Throws TiffError naming the strip and row that is wrong.
void DecodeFaxRows(const PageInfo& info, const std::vector<std::vector<std::uint8_t>>& strips,
                   const fax::RowSink& sink);

// Throws TiffError naming the strip or row that is wrong.
PageBitmap DecodePage(const PageInfo& info, const std::vector<std::vector<std::uint8_t>>& strips);

}  // namespace faxtiff
