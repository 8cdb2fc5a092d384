#pragma once
// The CCITT codings the engine reads and writes, as TIFF strips carry them.
namespace faxtiff::fax {

enum class FaxScheme {
    ModifiedHuffman,  // TIFF compression 2: 1D rows, each starting on a byte boundary
    Group3OneD,       // compression 3: 1D rows after EOL codes
    Group3TwoD,       // compression 3 with T4Options bit 0: EOL + tag bit, 1D or 2D rows
    Group4,           // compression 4: 2D rows, no EOLs
};

}  // namespace faxtiff::fax
