#pragma once
// The one exception the engine throws: its message says what is wrong with the file.
#include <stdexcept>
#include <string>

namespace faxtiff {

class TiffError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace faxtiff
