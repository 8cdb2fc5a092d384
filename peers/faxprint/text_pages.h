#pragma once
// Renders a text document into fax pages the way the printer driver does: with GDI,
// a fixed-pitch font, long lines wrapped and pages broken.
#include <cstdint>
#include <string>
#include <vector>

#include "tiff/page_bitmap.h"

// Pages are 1-bit bitmaps with 1 = black (photometric WhiteIsZero).
using faxtiff::PageBitmap;

// Fax resolution and page size: 204 x 196 dpi, 1728 pixels wide, A4 long.
constexpr std::uint32_t kPageWidth = 1728;
constexpr std::uint32_t kPageHeight = 2292;
constexpr double kDpiX = 204.0;
constexpr double kDpiY = 196.0;

// The text's lines, wrapped at the page's columns (tabs expanded, other control
// characters dropped); form feeds start a new page (as an empty marker line "\f").
std::vector<std::string> LayOutLines(const std::string& text, std::size_t columns);

// Pages of the text; with pageCount > 0 exactly that many (the text repeated or cut).
// Raises std::runtime_error when GDI fails.
std::vector<PageBitmap> RenderTextPages(const std::string& text, int pageCount);
