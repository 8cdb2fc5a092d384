#include "app/command_line.h"

#include <windows.h>

std::string CommandLineArgument(std::string_view commandLine, int index)
{
    std::size_t at = 0;
    std::string argument;
    for (int current = 0; current <= index; ++current) {
        while (at < commandLine.size() && static_cast<unsigned char>(commandLine[at]) <= ' ')
            ++at;
        argument.clear();
        bool quoted = false;
        while (at < commandLine.size() &&
               (quoted || static_cast<unsigned char>(commandLine[at]) > ' ')) {
            if (commandLine[at] == '"')
                quoted = !quoted;
            else
                argument += commandLine[at];
            ++at;
        }
        if (argument.empty() && at >= commandLine.size())
            return {};
    }
    return argument;
}

std::string FirstArgument() { return CommandLineArgument(GetCommandLineA(), 1); }
