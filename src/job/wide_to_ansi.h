#pragma once
#include <string>

// UTF-16 text to the system ANSI code page; characters the code page lacks become its
// default character. The result is sized by the conversion, so double-byte code pages
// get the whole name.
std::string WideToAnsi(const wchar_t* text, std::size_t length);
