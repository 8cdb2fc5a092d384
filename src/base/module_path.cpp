#include "base/module_path.h"

std::string ModulePath(HMODULE module)
{
    // A name that fills the buffer may have been cut: try again with more room.
    std::string path(MAX_PATH, '\0');
    for (;;) {
        DWORD length = GetModuleFileNameA(module, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::string ModuleDirectory()
{
    std::string path = ModulePath();
    std::size_t last = path.find_last_of("\\:");
    return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}
