#pragma once

// What the calculators keep in the settings file: numbers as the 16 upper-case
// hexadecimal digits of their IEEE-754 double, most significant first, so a
// value comes back bit for bit.

#include <optional>
#include <string>
#include <string_view>

namespace tarnlux {

// 1.0 -> "3FF0000000000000".
std::string hexDouble(double value);
// Exactly 16 hexadecimal digits (either case); anything else is no value.
std::optional<double> parseHexDouble(std::string_view text);

// A list entry stored by its text, matched without regard to case: its index,
// or -1 when the text is not listed.
int findListText(const char* const* names, int count, std::string_view text);

}  // namespace tarnlux
