#pragma once
#include <cstdio>
#include <string>

// An error's message as the program's boxes show it: ending in a full stop.
inline std::string WithFullStop(std::string text)
{
    if (text.empty() || text.back() != '.')
        text += '.';
    return text;
}

// A COM status as messages give it: "0x80040154".
inline std::string StatusText(long status)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(status));
    return text;
}
