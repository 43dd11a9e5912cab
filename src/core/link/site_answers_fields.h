#pragma once

#include <charconv>
#include <cstdint>
#include <string_view>
#include <system_error>
#include <vector>

namespace tarnlux::answer_fields {

// The pieces the site answers (kinds 3, 4, 5 and the identification answer)
// are read with: comma-separated fields, leading blanks skipped, and the two
// plain number forms those answers use (no exponent, no "+").

inline std::vector<std::string_view> splitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  if (line.empty()) return fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = line.find(',', start);
    if (comma == std::string_view::npos) {
      fields.push_back(line.substr(start));
      return fields;
    }
    fields.push_back(line.substr(start, comma - start));
    start = comma + 1;
  }
}

inline std::string_view skipBlanks(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  return text.substr(i);
}

inline std::string_view trimBlanks(std::string_view text) {
  text = skipBlanks(text);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

// Digits with an optional leading "-"; the value must fit 32 bits.
inline bool readInteger(std::string_view text, std::int32_t& value) {
  std::size_t i = (!text.empty() && text[0] == '-') ? 1 : 0;
  if (i == text.size()) return false;
  for (std::size_t k = i; k < text.size(); ++k) {
    if (text[k] < '0' || text[k] > '9') return false;
  }
  std::int32_t v = 0;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
  if (r.ec != std::errc() || r.ptr != text.data() + text.size()) return false;
  value = v;
  return true;
}

// Digits with an optional leading "-" and at most one "."; at least one digit.
inline bool readReal(std::string_view text, double& value) {
  std::size_t i = (!text.empty() && text[0] == '-') ? 1 : 0;
  bool point = false;
  bool digit = false;
  for (std::size_t k = i; k < text.size(); ++k) {
    if (text[k] == '.') {
      if (point) return false;
      point = true;
    } else if (text[k] >= '0' && text[k] <= '9') {
      digit = true;
    } else {
      return false;
    }
  }
  if (!digit) return false;
  double v = 0;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
  if (r.ec != std::errc() || r.ptr != text.data() + text.size()) return false;
  value = v;
  return true;
}

}  // namespace tarnlux::answer_fields
