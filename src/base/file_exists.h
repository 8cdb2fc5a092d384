#pragma once
#include <string>

// True when a file (not a directory) of that name exists. A directory search matches
// wildcards against other files; no file has them in its name, so such a name names
// no file.
bool FileExistsNamed(const std::string& name);
