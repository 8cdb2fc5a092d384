// soakscreen LOG SEED STOPFILE: the person at the screen during a soak. Finds every
// message box of TAVON.EXE (and of Wine's crash reporter), appends its caption and text
// to LOG ("seen" lines, then "closed" once it is gone), and presses OK after a short
// delay drawn from SEED; ends once STOPFILE exists.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

namespace {

constexpr int kDialogTextId = 0xFFFF;  // the message box's text control
constexpr DWORD kLookEveryMs = 20;

struct SeenBox {
    DWORD pressAt;
};

unsigned long long Random = 1;

DWORD NextDelayMs()
{
    Random = Random * 6364136223846793005ULL + 1442695040888963407ULL;
    return 150 + static_cast<DWORD>((Random >> 33) % 850);
}

std::string ImageNameOf(DWORD pid)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process)
        return {};
    char path[MAX_PATH + 1] = {};
    DWORD size = MAX_PATH;
    if (!QueryFullProcessImageNameA(process, 0, path, &size))
        size = 0;
    CloseHandle(process);
    std::string name(path, size);
    name = name.substr(name.find_last_of('\\') + 1);
    for (char& c : name)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return name;
}

std::string Escaped(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            continue;
        else if (c == '\t')
            out += ' ';
        else
            out += c;
    }
    return out;
}

std::string TextOf(HWND window, int id)
{
    char text[4096] = {};
    if (id)
        GetDlgItemTextA(window, id, text, sizeof text);
    else
        GetWindowTextA(window, text, sizeof text);
    return text;
}

struct Search {
    std::map<HWND, SeenBox>* seen;
    const char* log;
};

BOOL CALLBACK LookAt(HWND window, LPARAM param)
{
    auto& search = *reinterpret_cast<Search*>(param);
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    if (std::string(className) != "#32770" || !IsWindowVisible(window))
        return TRUE;
    if (search.seen->count(window))
        return TRUE;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    std::string image = ImageNameOf(pid);
    if (image != "TAVON.EXE" && image != "WINEDBG.EXE")
        return TRUE;
    DWORD delay = NextDelayMs();
    (*search.seen)[window] = {GetTickCount() + delay};
    if (FILE* log = std::fopen(search.log, "ab")) {
        std::fprintf(log, "seen\t%p\t%lu\t%s\t%s\t%s\n", static_cast<void*>(window),
                     static_cast<unsigned long>(pid), image.c_str(),
                     Escaped(TextOf(window, 0)).c_str(),
                     Escaped(TextOf(window, kDialogTextId)).c_str());
        std::fclose(log);
    }
    return TRUE;
}

void PressDue(std::map<HWND, SeenBox>& seen, const char* logName)
{
    DWORD now = GetTickCount();
    for (auto it = seen.begin(); it != seen.end();) {
        if (!IsWindow(it->first)) {
            if (FILE* log = std::fopen(logName, "ab")) {
                std::fprintf(log, "closed\t%p\n", static_cast<void*>(it->first));
                std::fclose(log);
            }
            it = seen.erase(it);
            continue;
        }
        if (static_cast<LONG>(now - it->second.pressAt) >= 0) {
            HWND ok = GetDlgItem(it->first, IDOK);
            PostMessageA(it->first, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                         reinterpret_cast<LPARAM>(ok));
            it->second.pressAt = now + 1000;  // pressed again should the box stay
        }
        ++it;
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4)
        return 2;
    Random = std::strtoull(argv[2], nullptr, 10) ^ 0x5EEDULL;
    std::map<HWND, SeenBox> seen;
    Search search{&seen, argv[1]};
    while (GetFileAttributesA(argv[3]) == INVALID_FILE_ATTRIBUTES) {
        EnumWindows(LookAt, reinterpret_cast<LPARAM>(&search));
        PressDue(seen, argv[1]);
        Sleep(kLookEveryMs);
    }
    return 0;
}
