#pragma once
// Appending every page of several TIFF files to one, as `faxtiff append` does.
#include <string>
#include <vector>

#include "tiff/save_compression.h"

namespace faxtiff {

// Appends the pages of each source, in order, to dest (created when missing), holding
// dest throughout. Every source page is read and decoded before the first one goes in,
// so a broken page (or a source that cannot be read) leaves dest as it was. Throws
// TiffError naming the file it is about; when dest fails after pages went in, the
// message says how many did.
void AppendFiles(const std::string& dest, const std::vector<std::string>& sources, SaveCompression compression);

}  // namespace faxtiff
