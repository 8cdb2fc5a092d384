#include "job/wide_to_ansi.h"

#include <windows.h>

std::string WideToAnsi(const wchar_t* text, std::size_t length)
{
    if (length == 0)
        return {};
    int units = static_cast<int>(length);
    int bytes = WideCharToMultiByte(CP_ACP, 0, text, units, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return {};
    std::string result(static_cast<std::size_t>(bytes), '\0');
    bytes = WideCharToMultiByte(CP_ACP, 0, text, units, result.data(), bytes, nullptr, nullptr);
    result.resize(bytes > 0 ? static_cast<std::size_t>(bytes) : 0);
    return result;
}
