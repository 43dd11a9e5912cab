#pragma once

namespace tarnlux {

// Upper-case hexadecimal digits, as the meter's headers and packets write them.
inline constexpr char kHexDigits[] = "0123456789ABCDEF";

// Value of one hexadecimal digit (either case), -1 for any other character.
inline int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace tarnlux
