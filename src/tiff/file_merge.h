#pragma once
// Appending every page of several TIFF files to one, as `faxtiff append` does.
#include <string>
#include <vector>

#include "tiff/file.h"
#include "tiff/save_compression.h"

namespace faxtiff {

// Appends the pages of each source, in order, to dest (created when missing), holding
// dest throughout. All pages go in or none: each is decoded once, as it is recoded,
// and staged after dest's end (see PageAppender::Stage), and only when every one is
// there are they linked in, so a broken page, a source that cannot be read or a failing
// dest leaves dest holding its old pages. Memory holds one page at a time. Throws
// TiffError naming the file it is about.
void AppendFiles(const std::string& dest, const std::vector<std::string>& sources,
                 SaveCompression compression, WriteFaults* faults = nullptr);

}  // namespace faxtiff
