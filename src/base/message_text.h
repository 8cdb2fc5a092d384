#pragma once
#include <string>

// An error's message as the program's boxes show it: ending in a full stop.
inline std::string WithFullStop(std::string text)
{
    if (text.empty() || text.back() != '.')
        text += '.';
    return text;
}
