#pragma once
// Page images as the fax printer writes them: one TIFF file per page, CCITT Group 3 1D
// at the fax resolution.
#include <string>

#include "text_pages.h"

// Raises std::runtime_error saying what failed.
void WriteRenderedPage(const PageBitmap& page, const std::string& path);

// A ready page (PBM, or the first page of a TIFF file) as such a page image.
void ConvertPageFile(const std::string& source, const std::string& path);
