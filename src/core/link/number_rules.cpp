#include "link/number_rules.h"

#include <charconv>

namespace tarnlux {

namespace {

int digitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 99;
}

bool isDecimalDigit(char c) { return c >= '0' && c <= '9'; }

bool isBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

bool parseMeterInteger(std::string_view token, int base, std::int32_t& value) {
  if (base < 2 || base > 36) return false;
  bool negative = false;
  std::size_t i = 0;
  if (i < token.size() && token[i] == '-') {
    negative = true;
    ++i;
  }
  if (i == token.size()) return false;
  // Accumulated as a magnitude; the limit is one larger for negative values.
  const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
  std::int64_t magnitude = 0;
  for (; i < token.size(); ++i) {
    const int d = digitValue(token[i]);
    if (d >= base) return false;
    magnitude = magnitude * base + d;
    if (magnitude > limit) return false;
  }
  if (negative && magnitude == 0) return false;
  value = static_cast<std::int32_t>(negative ? -magnitude : magnitude);
  return true;
}

bool parseMeterDecimal(std::string_view token, double& value) {
  std::size_t first = 0;
  std::size_t last = token.size();
  while (first < last && isBlank(token[first])) ++first;
  while (last > first && isBlank(token[last - 1])) --last;
  const std::string_view text = token.substr(first, last - first);
  if (text.empty()) return false;

  std::size_t i = 0;
  if (text[i] == '-') ++i;

  // Mantissa: digits with at most one point.
  const std::size_t intStart = i;
  while (i < text.size() && isDecimalDigit(text[i])) ++i;
  const std::string_view intDigits = text.substr(intStart, i - intStart);
  std::string_view fracDigits;
  bool hasPoint = false;
  if (i < text.size() && text[i] == '.') {
    hasPoint = true;
    ++i;
    const std::size_t fracStart = i;
    while (i < text.size() && isDecimalDigit(text[i])) ++i;
    fracDigits = text.substr(fracStart, i - fracStart);
  }
  if (intDigits.empty() && fracDigits.empty()) return false;

  int exponent = 0;
  if (i < text.size() && text[i] == 'e') {
    // "1.e5": the exponent may not follow the point directly.
    if (hasPoint && fracDigits.empty()) return false;
    ++i;
    bool negativeExponent = false;
    if (i < text.size() && text[i] == '-') {
      negativeExponent = true;
      ++i;
    }
    const std::size_t expStart = i;
    while (i < text.size() && isDecimalDigit(text[i])) {
      exponent = exponent * 10 + (text[i] - '0');
      if (exponent > 15) return false;
      ++i;
    }
    if (i == expStart) return false;
    if (negativeExponent) exponent = -exponent;
  }
  if (i != text.size()) return false;

  // Significant digits: leading zeros of the number and trailing zeros after
  // the point do not count.
  std::size_t intLead = 0;
  while (intLead < intDigits.size() && intDigits[intLead] == '0') ++intLead;
  const std::size_t intCount = intDigits.size() - intLead;
  std::size_t fracCount = fracDigits.size();
  while (fracCount > 0 && fracDigits[fracCount - 1] == '0') --fracCount;
  std::size_t significant = intCount + fracCount;
  if (intCount == 0) {
    std::size_t fracLead = 0;
    while (fracLead < fracCount && fracDigits[fracLead] == '0') ++fracLead;
    significant = fracCount - fracLead;
  }
  if (significant > 15) return false;
  if (exponent > 0 && intCount + static_cast<std::size_t>(exponent) > 15) return false;
  if (exponent <= 0 && intCount > 15) return false;
  if (exponent < 0 && fracCount + static_cast<std::size_t>(-exponent) > 15) return false;
  if (exponent >= 0 && fracCount > 15) return false;

  double parsed = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
  if (error != std::errc() || end != text.data() + text.size()) return false;
  value = parsed;
  return true;
}

}  // namespace tarnlux
