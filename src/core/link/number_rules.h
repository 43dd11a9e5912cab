#pragma once

#include <cstdint>
#include <string_view>

namespace tarnlux {

// The two number forms the meter's answers are read with. Both take the whole
// token: a single stray character makes the token invalid, so a garbled answer
// is refused rather than read as a plausible but wrong value.

// Integer rule: an optional leading "-", then at least one digit of `base`
// (2..36; letters a-z / A-Z stand for 10..35 and must be below the base). The
// value must fit a signed 32-bit integer. "-" alone and a negative zero ("-0")
// are refused. False leaves `value` unchanged.
bool parseMeterInteger(std::string_view token, int base, std::int32_t& value);

// Strict decimal rule: leading and trailing spaces ignored; an optional "-";
// digits with at most one "."; an optional exponent "e" (lower case only)
// followed by an integer -15..15 that neither directly follows nor precedes the
// point; no "+", no "E". At most 15 significant digits (leading zeros, and
// trailing zeros after the point, do not count); integer digits plus a positive
// exponent at most 15; fraction digits plus the size of a negative exponent at
// most 15. Conversion does not depend on the process locale. False leaves
// `value` unchanged.
bool parseMeterDecimal(std::string_view token, double& value);

}  // namespace tarnlux
