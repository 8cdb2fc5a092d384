#pragma once
// Reads and writes of Windows profile (INI) files through the private-profile functions.
#include <cstdint>
#include <string>

// The whole value (up to 64 K characters); the default when the file, section or key
// is missing.
std::string ReadProfileText(const std::string& file, const char* section, const char* key,
                            const char* defaultValue);

// Integer text (see integer_text.h); the default when missing or not a number.
std::int32_t ReadProfileInteger(const std::string& file, const char* section, const char* key,
                                std::int32_t defaultValue);

// Writes value (empty keeps the key with an empty value); raises
// "Unable to write to <file>" when the platform reports failure.
void WriteProfileText(const std::string& file, const char* section, const char* key,
                      const std::string& value);
