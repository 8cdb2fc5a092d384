#pragma once
// Files the program cannot pass on are kept beside where they were, under a name that
// no printer or later job uses, so nothing overwrites or deletes them.
#include <string>

// The name with its extension replaced (or added, when it has none). "/" separates
// directories too: a dot before it belongs to a directory, not to the file.
std::string WithExtension(const std::string& name, const char* extension);

// Renames the file to "<name without extension>-kept-<local time>-<serial><extension>",
// never replacing a file. Returns the new name, or empty when it could not be renamed.
std::string KeepAside(const std::string& name);
