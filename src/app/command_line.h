#pragma once
#include <string>
#include <string_view>

// Argument index of a command line (0 is the program), split at blanks and control
// characters; double quotes group characters and are removed. Empty when absent.
std::string CommandLineArgument(std::string_view commandLine, int index);

// The first argument of this program's own command line.
std::string FirstArgument();
