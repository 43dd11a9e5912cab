#include "calc/entry_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace tarnlux {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

int digitCount(std::string_view text) {
  int n = 0;
  for (char c : text) n += isDigit(c) ? 1 : 0;
  return n;
}

}  // namespace

std::string trimEntryText(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  std::string sign;
  if (!text.empty() && text.front() == '-') {
    sign = "-";
    text.remove_prefix(1);
  }
  std::string body(text);
  // "007" -> "7", "00.5" -> "0.5": the zero before the point stays.
  while (body.size() > 1 && body[0] == '0' && isDigit(body[1])) body.erase(0, 1);
  // Trailing zeros of the fraction carry no digit of the value.
  std::size_t mantissaEnd = body.find_first_of("eE");
  if (mantissaEnd == std::string::npos) mantissaEnd = body.size();
  const std::size_t point = body.find('.');
  if (point != std::string::npos && point < mantissaEnd) {
    std::size_t cut = mantissaEnd;
    while (cut > point + 1 && body[cut - 1] == '0') --cut;
    body.erase(cut, mantissaEnd - cut);
  }
  return sign + body;
}

std::optional<double> parseEntryText(std::string_view raw) {
  const std::string text = trimEntryText(raw);
  std::size_t i = 0;
  if (i < text.size() && text[i] == '-') ++i;
  const std::size_t mantissaStart = i;
  bool point = false;
  while (i < text.size() && (isDigit(text[i]) || text[i] == '.')) {
    if (text[i] == '.') {
      if (point) return std::nullopt;
      point = true;
    }
    ++i;
  }
  const std::string_view mantissa(text.data() + mantissaStart, i - mantissaStart);
  if (digitCount(mantissa) == 0) return std::nullopt;

  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    const std::size_t exponentStart = i;
    int exponent = 0;
    while (i < text.size() && isDigit(text[i])) {
      exponent = exponent * 10 + (text[i] - '0');
      if (exponent > kEntryMaxExponent) return std::nullopt;
      ++i;
    }
    if (i == exponentStart) return std::nullopt;
  }
  if (i != text.size()) return std::nullopt;

  // Significant digits: from the first non-zero digit to the last digit left
  // after trimming (zeros of an integer part count, they may be significant).
  int significant = 0;
  bool started = false;
  for (char c : mantissa) {
    if (!isDigit(c)) continue;
    if (c != '0') started = true;
    if (started) ++significant;
  }
  if (significant > kEntryMaxDigits) return std::nullopt;

  double value = 0.0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
  if (value == 0.0) value = 0.0;  // no "-0"
  return value;
}

std::string fixedNumberText(double value, int decimals) {
  char buffer[512];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed,
                                    decimals < 0 ? 0 : decimals);
  if (result.ec != std::errc()) return {};
  return std::string(buffer, result.ptr);
}

std::string generalNumberText(double value, int significantDigits) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                    std::chars_format::general, significantDigits);
  if (result.ec != std::errc()) return {};
  return std::string(buffer, result.ptr);
}

std::optional<std::string> formatEntryValue(double value, int maxDecimals) {
  if (!std::isfinite(value)) return std::nullopt;
  if (maxDecimals < 0) maxDecimals = 0;
  const double magnitude = std::fabs(value);

  std::string text;
  if (magnitude < 1.0) {
    text = fixedNumberText(value, std::min(maxDecimals, kEntryMaxDigits));
  } else {
    const std::string whole = fixedNumberText(std::floor(magnitude), 0);
    const int integerDigits = static_cast<int>(whole.size());
    if (integerDigits > kEntryMaxDigits) return std::nullopt;
    int decimals = std::min(maxDecimals, kEntryMaxDigits - integerDigits);
    text = fixedNumberText(value, decimals);
    // Rounding may carry into one more integer digit.
    if (digitCount(text) > kEntryMaxDigits) {
      if (decimals == 0) return std::nullopt;
      text = fixedNumberText(value, decimals - 1);
    }
  }

  // Trailing zeros of the fraction go, down to one decimal.
  const std::size_t point = text.find('.');
  if (point != std::string::npos) {
    std::size_t end = text.size();
    while (end > point + 2 && text[end - 1] == '0') --end;
    text.resize(end);
  }
  if (digitCount(text) > kEntryMaxDigits) {
    const std::size_t zero = text[0] == '-' ? 1 : 0;
    if (text.compare(zero, 2, "0.") == 0) text.erase(zero, 1);
  }
  if (text == "-0.0" || text == "-0") text.erase(0, 1);
  return text;
}

}  // namespace tarnlux
