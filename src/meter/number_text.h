#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnlux::meter {

// Decimal text in the strict form the service program reads: an optional "-",
// digits with at most one point, an optional lower-case "e" exponent from -15
// to 15 without "+", and at most 15 significant digits. Uses up to
// `maxSignificant` digits, fewer when the strict form needs it.
std::string formatDecimal(double value, int maxSignificant = 10);

// True when `text` passes that strict form.
bool isStrictDecimal(std::string_view text);

// `value` rounded to `digits` significant digits, a value lying on a rounding
// edge going to the larger magnitude (how the meter shows its stored tables).
double roundSignificant(double value, int digits);

// Upper-case hexadecimal. A leading letter gets a "0" in front (when the text
// stays within 8 digits), because readers skip to the first decimal digit.
std::string formatHex(std::uint32_t value);

// Number parsers for writes and profile files; nullopt when the text is not a
// number of that kind or is out of range.
std::optional<double> parseHexWord(std::string_view text);  // 1-8 digits, optional 0x
std::optional<double> parseInteger(std::string_view text, double low, double high);
std::optional<double> parseReal(std::string_view text);

}  // namespace tarnlux::meter
