#include "calc/calc_settings.h"

#include <bit>
#include <cstdint>

#include "common/profile_file.h"

namespace tarnlux {

std::string hexDouble(double value) {
  static const char kDigits[] = "0123456789ABCDEF";
  const auto bits = std::bit_cast<std::uint64_t>(value);
  std::string text(16, '0');
  for (int i = 0; i < 16; ++i)
    text[static_cast<std::size_t>(i)] = kDigits[(bits >> (60 - 4 * i)) & 0xF];
  return text;
}

std::optional<double> parseHexDouble(std::string_view text) {
  if (text.size() != 16) return std::nullopt;
  std::uint64_t bits = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else {
      return std::nullopt;
    }
    bits = bits << 4 | static_cast<std::uint64_t>(digit);
  }
  return std::bit_cast<double>(bits);
}

int findListText(const char* const* names, int count, std::string_view text) {
  for (int i = 0; i < count; ++i) {
    if (equalsIgnoreCase(names[i], text)) return i;
  }
  return -1;
}

}  // namespace tarnlux
