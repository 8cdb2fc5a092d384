#include "job/wide_to_ansi.h"

#include <windows.h>

AnsiText WideToAnsi(const wchar_t* text, std::size_t length)
{
    if (length == 0)
        return {};
    int units = static_cast<int>(length);
    // UTF-8 holds every character and takes no best-fit flag.
    DWORD flags = GetACP() == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    int bytes = WideCharToMultiByte(CP_ACP, flags, text, units, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return {{}, false};
    AnsiText result{std::string(static_cast<std::size_t>(bytes), '\0')};
    bytes = WideCharToMultiByte(CP_ACP, flags, text, units, result.text.data(), bytes, nullptr,
                                nullptr);
    result.text.resize(bytes > 0 ? static_cast<std::size_t>(bytes) : 0);

    // Exact only when the name comes back unchanged: the system's default character
    // and any mapping the flag does not cover both show up here.
    int back = MultiByteToWideChar(CP_ACP, 0, result.text.data(), bytes, nullptr, 0);
    std::wstring roundTrip(back > 0 ? static_cast<std::size_t>(back) : 0, L'\0');
    if (back > 0)
        MultiByteToWideChar(CP_ACP, 0, result.text.data(), bytes, roundTrip.data(), back);
    result.exact = bytes > 0 && roundTrip == std::wstring_view(text, length);
    return result;
}
