#include "base/text_conversion.h"

#include <windows.h>

std::wstring ToWide(std::string_view text)
{
    if (text.empty())
        return {};
    int size = static_cast<int>(text.size());
    int units = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
    std::wstring result(units > 0 ? static_cast<std::size_t>(units) : 0, L'\0');
    if (units > 0)
        MultiByteToWideChar(CP_ACP, 0, text.data(), size, result.data(), units);
    return result;
}

AnsiText ToAnsi(std::wstring_view text)
{
    if (text.empty())
        return {};
    int units = static_cast<int>(text.size());
    // UTF-8 holds every character and takes no best-fit flag.
    DWORD flags = GetACP() == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    int bytes =
        WideCharToMultiByte(CP_ACP, flags, text.data(), units, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return {{}, false};
    AnsiText result{std::string(static_cast<std::size_t>(bytes), '\0')};
    bytes = WideCharToMultiByte(CP_ACP, flags, text.data(), units, result.text.data(), bytes,
                                nullptr, nullptr);
    result.text.resize(bytes > 0 ? static_cast<std::size_t>(bytes) : 0);
    // Exact only when the text comes back unchanged: the default character and any
    // mapping the flag does not cover both show up here.
    result.exact = bytes > 0 && ToWide(result.text) == text;
    return result;
}
