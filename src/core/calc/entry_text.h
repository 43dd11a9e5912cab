#pragma once

// How the calculator screens read and show the numbers typed into their
// entry fields.

#include <optional>
#include <string>
#include <string_view>

namespace tarnlux {

inline constexpr int kEntryMaxDigits = 13;
inline constexpr int kEntryMaxDecimals = 4;
inline constexpr int kEntryMaxExponent = 15;

// Drops blanks around the text, leading zeros that do not stand before the
// decimal point, and trailing zeros of the fraction ("  007.50" -> "7.5").
std::string trimEntryText(std::string_view text);

// The number a text stands for after trimming: optional minus sign, digits
// with at most one decimal point, an optional exponent "e" with a signed
// integer from -15 to 15, at most 13 significant digits. Anything else is
// not a number. Independent of the process locale.
std::optional<double> parseEntryText(std::string_view text);

// The text a field shows for a value: at most 13 digits in all and at most
// `maxDecimals` decimals, trailing zeros of the fraction removed down to one
// decimal ("12.5", "3.0"), the leading "0" of a fraction dropped when the text
// would otherwise hold more than 13 digits. Empty when the value's integer part
// has more than 13 digits (or the value is not finite).
std::optional<std::string> formatEntryValue(double value, int maxDecimals = kEntryMaxDecimals);

// printf-style fixed and general forms, independent of the process locale
// (the program runs under French locales, where printf writes a comma).
std::string fixedNumberText(double value, int decimals);
std::string generalNumberText(double value, int significantDigits);

}  // namespace tarnlux
