// soakhold: holds files open without sharing, as another program does, on command.
// Reads lines from its input:  hold TAG PATH   (an existing file)
//                              make TAG PATH   (created when missing)
//                              release TAG
// and answers each with "ok TAG" or "fail TAG ERROR" once done.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

namespace {

void Answer(const char* word, const std::string& tag, DWORD error = 0)
{
    if (error)
        std::printf("%s %s %lu\n", word, tag.c_str(), static_cast<unsigned long>(error));
    else
        std::printf("%s %s\n", word, tag.c_str());
    std::fflush(stdout);
}

}  // namespace

int main()
{
    std::map<std::string, HANDLE> held;
    char line[4096];
    while (std::fgets(line, sizeof line, stdin)) {
        line[std::strcspn(line, "\r\n")] = '\0';
        std::string text = line;
        std::size_t first = text.find(' ');
        std::size_t second = first == std::string::npos ? first : text.find(' ', first + 1);
        std::string verb = text.substr(0, first);
        std::string tag =
            first == std::string::npos ? "" : text.substr(first + 1, second - first - 1);
        if ((verb == "hold" || verb == "make") && second != std::string::npos) {
            std::string path = text.substr(second + 1);
            HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr,
                                      verb == "make" ? OPEN_ALWAYS : OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file == INVALID_HANDLE_VALUE) {
                Answer("fail", tag, GetLastError());
                continue;
            }
            held[tag] = file;
            Answer("ok", tag);
        } else if (verb == "release" && held.count(tag)) {
            CloseHandle(held[tag]);
            held.erase(tag);
            Answer("ok", tag);
        } else {
            Answer("fail", tag, ERROR_INVALID_PARAMETER);
        }
    }
    for (auto& entry : held)
        CloseHandle(entry.second);
    return 0;
}
