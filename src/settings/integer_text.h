#pragma once
// Conversion of integer texts as the settings files hold them: optional leading blanks,
// then an optional sign and decimal digits, or "$" and hexadecimal digits; nothing after.
#include <cstdint>
#include <optional>
#include <string_view>

std::optional<std::int32_t> ParseIntegerText(std::string_view text);

// As ParseIntegerText, after "0x"/"0X" at the start of a text longer than two characters
// has been read as "$".
std::optional<std::int32_t> ParseProfileInteger(std::string_view text);
