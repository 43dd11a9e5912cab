#include "number_text.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tarnlux::meter {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// "1.5e-07" -> "1.5e-7", "1e+12" -> "1e12": the reader takes no "+" sign.
std::string normaliseExponent(const std::string& text) {
  const std::size_t e = text.find('e');
  if (e == std::string::npos) return text;
  std::string mantissa = text.substr(0, e);
  std::string exponent = text.substr(e + 1);
  bool negative = false;
  if (!exponent.empty() && (exponent[0] == '+' || exponent[0] == '-')) {
    negative = exponent[0] == '-';
    exponent.erase(0, 1);
  }
  while (exponent.size() > 1 && exponent[0] == '0') exponent.erase(0, 1);
  if (exponent == "0") return mantissa;
  return mantissa + "e" + (negative ? "-" : "") + exponent;
}

}  // namespace

bool isStrictDecimal(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  std::size_t i = 0;
  if (i < text.size() && text[i] == '-') ++i;
  std::string intDigits;
  std::string fracDigits;
  bool point = false;
  for (; i < text.size() && text[i] != 'e'; ++i) {
    if (text[i] == '.') {
      if (point) return false;
      point = true;
    } else if (isDigit(text[i])) {
      (point ? fracDigits : intDigits) += text[i];
    } else {
      return false;
    }
  }
  if (intDigits.empty() && fracDigits.empty()) return false;
  int exponent = 0;
  if (i < text.size()) {  // at the 'e'
    if (i == 0 || text[i - 1] == '.' || text[i - 1] == '-') return false;
    ++i;
    bool negative = false;
    if (i < text.size() && text[i] == '-') {
      negative = true;
      ++i;
    }
    if (i >= text.size()) return false;
    for (; i < text.size(); ++i) {
      if (!isDigit(text[i])) return false;
      exponent = exponent * 10 + (text[i] - '0');
      if (exponent > 15) return false;
    }
    if (negative) exponent = -exponent;
  }
  while (!intDigits.empty() && intDigits.front() == '0') intDigits.erase(0, 1);
  while (!fracDigits.empty() && fracDigits.back() == '0') fracDigits.pop_back();
  const int intCount = static_cast<int>(intDigits.size());
  const int fracCount = static_cast<int>(fracDigits.size());
  if (intCount + fracCount > 15) return false;
  if (exponent > 0 && intCount + exponent > 15) return false;
  if (exponent < 0 && fracCount - exponent > 15) return false;
  return true;
}

std::string formatDecimal(double value, int maxSignificant) {
  if (!std::isfinite(value) || value == 0.0) return "0";
  if (maxSignificant > 15) maxSignificant = 15;
  for (int digits = maxSignificant; digits >= 1; --digits) {
    char buffer[384];  // room for any double in %g, which the compiler cannot bound
    std::snprintf(buffer, sizeof buffer, "%.*g", digits, value);
    std::string text = normaliseExponent(buffer);
    if (text == "-0") continue;
    if (isStrictDecimal(text)) return text;
  }
  // Beyond the exponent range the reader accepts: nothing sensible to show.
  return "0";
}

double roundSignificant(double value, int digits) {
  if (!std::isfinite(value) || value == 0.0 || digits < 1) return value;
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*e", digits - 1, value + value * 1e-15);
  return std::strtod(buffer, nullptr);
}

std::string formatHex(std::uint32_t value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%X", value);
  const std::string text = buffer;
  return !isDigit(text[0]) && text.size() < 8 ? "0" + text : text;
}

std::optional<double> parseHexWord(std::string_view text) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
    text.remove_prefix(2);
  if (text.empty() || text.size() > 8) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : text) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
    const int digit = isDigit(c) ? c - '0' : std::toupper(static_cast<unsigned char>(c)) - 'A' + 10;
    value = value * 16 + static_cast<std::uint32_t>(digit);
  }
  return static_cast<double>(value);
}

std::optional<double> parseInteger(std::string_view text, double low, double high) {
  std::size_t i = 0;
  bool negative = false;
  if (!text.empty() && text[0] == '-') {
    negative = true;
    i = 1;
  }
  if (i >= text.size() || text.size() - i > 12) return std::nullopt;
  double value = 0;
  for (; i < text.size(); ++i) {
    if (!isDigit(text[i])) return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  if (negative) value = -value;
  if (value < low || value > high) return std::nullopt;
  return value;
}

std::optional<double> parseReal(std::string_view text) {
  if (text.empty() || text.size() > 40) return std::nullopt;
  const std::string copy(text);
  char* end = nullptr;
  const double value = std::strtod(copy.c_str(), &end);
  if (end != copy.c_str() + copy.size() || !std::isfinite(value)) return std::nullopt;
  // strtod also takes "inf", "nan" and hexadecimal floats; a meter would not.
  for (char c : copy) {
    if (!isDigit(c) && c != '.' && c != '-' && c != '+' && c != 'e' && c != 'E')
      return std::nullopt;
  }
  return value;
}

}  // namespace tarnlux::meter
