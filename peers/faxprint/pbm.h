#pragma once
// Binary portable bitmaps (PBM, "P4"): rows packed most significant bit first, 1 = black.
#include <string>

#include "text_pages.h"

// Raises std::runtime_error saying what is wrong with the file.
PageBitmap ReadPbm(const std::string& path);
