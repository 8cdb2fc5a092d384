#pragma once
#include <string>

#include "base/text_conversion.h"

// A printer's UTF-16 name in the system ANSI code page, exact or flagged (see ToAnsi).
AnsiText WideToAnsi(const wchar_t* text, std::size_t length);
