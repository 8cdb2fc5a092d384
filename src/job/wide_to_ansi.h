#pragma once
#include <string>

// A printer's UTF-16 name in the system ANSI code page. Converted without best fit: a
// look-alike (a full-width backslash for "\") could name another file, so a character
// the code page lacks becomes its default character and the result is not exact. The
// text is sized by the conversion, so double-byte code pages get the whole name.
struct AnsiText {
    std::string text;
    bool exact = true;  // converts back to the same UTF-16 text
};

AnsiText WideToAnsi(const wchar_t* text, std::size_t length);
