#pragma once
// Fixed-maximum texts: a value longer than its field is cut to the maximum, and an
// append keeps only what still fits.
#include <cstddef>
#include <string>
#include <string_view>

inline std::string CutTo(std::string_view text, std::size_t maximum)
{
    return std::string(text.substr(0, maximum));
}

inline void AppendBounded(std::string& text, std::string_view tail, std::size_t maximum)
{
    if (text.size() < maximum)
        text.append(tail.substr(0, maximum - text.size()));
}

inline bool EndsWithBackslash(std::string_view text)
{
    return !text.empty() && text.back() == '\\';
}

// Only a-z change; other bytes (the code page's own letters) stay as they are.
inline std::string AsciiUpper(std::string_view text)
{
    std::string result(text);
    for (char& c : result)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return result;
}
