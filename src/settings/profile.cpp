#include "settings/profile.h"

#include <windows.h>

#include "app/exception.h"
#include "settings/integer_text.h"

std::string ReadProfileText(const std::string& file, const char* section, const char* key,
                            const char* defaultValue)
{
    char buffer[1024];
    DWORD length = GetPrivateProfileStringA(section, key, defaultValue, buffer, sizeof buffer,
                                            file.c_str());
    return std::string(buffer, length);
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
