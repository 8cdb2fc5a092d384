#pragma once
#include <string>

#include <windows.h>

// The full file name of a module (null: the running program), never cut short.
std::string ModulePath(HMODULE module = nullptr);

// The running program's path up to and including its last "\" or ":".
std::string ModuleDirectory();
