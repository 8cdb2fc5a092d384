#pragma once
// Text between UTF-16 and the system ANSI code page.
#include <string>
#include <string_view>

// Converted without best fit: a look-alike (a full-width backslash for "\") could name
// another file, so a character the code page lacks becomes its default character and
// the result is not exact. Sized by the conversion: double-byte code pages fit whole.
struct AnsiText {
    std::string text;
    bool exact = true;  // converts back to the same UTF-16 text
};

AnsiText ToAnsi(std::wstring_view text);
std::wstring ToWide(std::string_view text);
