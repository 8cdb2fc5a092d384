#include "settings/profile.h"

#include <windows.h>

#include "base/exception.h"
#include "settings/integer_text.h"

namespace {

// Far beyond any path Windows can open.
constexpr std::size_t kMaxProfileValue = 64 * 1024;

}  // namespace

std::string ReadProfileText(const std::string& file, const char* section, const char* key,
                            const char* defaultValue)
{
    // A full buffer may hold a value cut short, and a cut file name could name another
    // file: read again with more room until the value fits.
    std::string buffer(1024, '\0');
    for (;;) {
        DWORD length = GetPrivateProfileStringA(section, key, defaultValue, buffer.data(),
                                                static_cast<DWORD>(buffer.size()), file.c_str());
        if (length + 1 < buffer.size() || buffer.size() >= kMaxProfileValue) {
            buffer.resize(length);
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::int32_t ReadProfileInteger(const std::string& file, const char* section, const char* key,
                                std::int32_t defaultValue)
{
    return ParseProfileInteger(ReadProfileText(file, section, key, "")).value_or(defaultValue);
}

void WriteProfileText(const std::string& file, const char* section, const char* key,
                      const std::string& value)
{
    if (!WritePrivateProfileStringA(section, key, value.c_str(), file.c_str()))
        throw Exception("Unable to write to " + file);
}
