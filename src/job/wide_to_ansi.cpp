#include "job/wide_to_ansi.h"

AnsiText WideToAnsi(const wchar_t* text, std::size_t length)
{
    return ToAnsi(std::wstring_view(text, length));
}
