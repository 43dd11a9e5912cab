#include "variables.h"

#include <cmath>

#include "number_text.h"

namespace tarnlux::meter {

namespace {

struct Range {
  double low;
  double high;
};

Range rangeOf(VarType type) {
  switch (type) {
    case VarType::Unsigned:
      return {0, 4294967295.0};
    case VarType::Int:
      return {-2147483648.0, 2147483647.0};
    case VarType::Short:
      return {-32768, 32767};
    default:
      return {-1e300, 1e300};
  }
}

std::string formatNumber(VarType type, double value, bool tableValue) {
  switch (type) {
    case VarType::Unsigned:
      return formatHex(static_cast<std::uint32_t>(value));
    case VarType::Int:
    case VarType::Short:
      return std::to_string(static_cast<long long>(value));
    default:
      // Tables are held as six-digit figures; single values show more.
      return tableValue ? formatDecimal(roundSignificant(value, 6), 6) : formatDecimal(value, 10);
  }
}

double withNoise(const Variable& v, double value, std::mt19937& random) {
  if (v.noise <= 0) return value;
  std::uniform_real_distribution<double> spread(-v.noise, v.noise);
  value += spread(random);
  if (v.type != VarType::Double) value = std::round(value);
  const Range range = rangeOf(v.type);
  if (value < range.low) value = range.low;
  if (value > range.high) value = range.high;
  return value;
}

// One unit more in the sixth significant digit of the value as a table lists
// it (a zero becomes 1e-5), so a reader comparing six digits sees it differ.
double offInSixthDigit(double value) {
  const double shown = roundSignificant(value, 6);
  if (shown == 0.0) return 1e-5;
  return shown + std::pow(10.0, std::floor(std::log10(std::fabs(shown))) - 5);
}

}  // namespace

std::string_view typeWord(VarType type) {
  switch (type) {
    case VarType::Unsigned:
      return "unsigned";
    case VarType::Int:
      return "int";
    case VarType::Short:
      return "short";
    case VarType::Double:
      return "double";
    case VarType::Char:
      return "char";
  }
  return "int";
}

std::optional<VarType> typeFromWord(std::string_view word) {
  for (VarType t :
       {VarType::Unsigned, VarType::Int, VarType::Short, VarType::Double, VarType::Char}) {
    if (typeWord(t) == word) return t;
  }
  return std::nullopt;
}

bool parseNumbers(VarType type, std::string_view text, std::vector<double>& out) {
  out.clear();
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && (text[i] == ' ' || text[i] == ',' || text[i] == '\t')) ++i;
    const std::size_t start = i;
    while (i < text.size() && text[i] != ' ' && text[i] != ',' && text[i] != '\t') ++i;
    if (start == i) break;
    const std::string_view token = text.substr(start, i - start);
    std::optional<double> value;
    const Range range = rangeOf(type);
    switch (type) {
      case VarType::Unsigned:
        value = parseHexWord(token);
        break;
      case VarType::Int:
      case VarType::Short:
        value = parseInteger(token, range.low, range.high);
        break;
      case VarType::Double:
        value = parseReal(token);
        break;
      case VarType::Char:
        return false;
    }
    if (!value) return false;
    out.push_back(*value);
  }
  return true;
}

Variable makeVariable(std::string name, VarType type, std::size_t size,
                      const std::vector<double>& numbers, std::string_view text, double noise) {
  Variable v;
  v.name = std::move(name);
  v.type = type;
  v.size = size == 0 ? 1 : size;
  v.noise = noise;
  if (type == VarType::Char) {
    std::string value(text.substr(0, v.size));
    value.resize(v.size, kFillChar);
    v.texts.assign(kIndexCount, value);
  } else {
    std::vector<double> elements(v.size, 0.0);
    for (std::size_t i = 0; i < v.size; ++i) {
      if (i < numbers.size()) {
        elements[i] = numbers[i];
      } else if (!numbers.empty()) {
        elements[i] = numbers.back();
      }
    }
    v.numbers.assign(kIndexCount, elements);
  }
  return v;
}

void VariableStore::define(Variable variable) {
  const std::string key = variable.name;
  variables_[key] = std::move(variable);
}

const Variable* VariableStore::find(std::string_view name) const {
  const auto it = variables_.find(name);
  return it == variables_.end() ? nullptr : &it->second;
}

Variable* VariableStore::find(std::string_view name) {
  const auto it = variables_.find(name);
  return it == variables_.end() ? nullptr : &it->second;
}

std::string VariableStore::read(std::string_view name, int index,
                                std::optional<std::size_t> element, std::mt19937& random,
                                const ListingFaults& faults) const {
  const Variable* v = find(name);
  if (v == nullptr) return std::string(kUnknownVariable);
  if (index < 0 || index >= kIndexCount) return std::string(kBadIndex);
  std::string out(typeWord(v->type));
  out += ' ';
  out += v->name;
  if (v->type == VarType::Char) {
    // "char id[8] |ABCD1234|": the size, then exactly that many characters between bars.
    out += '[' + std::to_string(v->size) + "] |" + v->texts[index] + "|\r\n";
    return out;
  }
  const std::vector<double>& values = v->numbers[index];
  if (!v->isArray()) {
    out += ' ' + formatNumber(v->type, withNoise(*v, values[0], random), false) + "\r\n";
    return out;
  }
  if (element) {
    if (*element >= v->size) return std::string(kBadIndex);
    out += '[' + std::to_string(*element) + "] " +
           formatNumber(v->type, withNoise(*v, values[*element], random), true) + "\r\n";
    return out;
  }
  // Four values to a line, each line led by the index of its first value in
  // brackets, each value followed by a blank so the last one is delimited too.
  const std::size_t listed = faults.omitLast ? v->size - 1 : v->size;
  for (std::size_t i = 0; i < listed; ++i) {
    if (i % 4 == 0) out += (i == 0 ? "" : "\r\n") + std::string("[") + std::to_string(i) + "] ";
    double value = withNoise(*v, values[i], random);
    if (i == 0 && faults.firstOff && v->type == VarType::Double) value = offInSixthDigit(value);
    out += formatNumber(v->type, value, true) + ' ';
  }
  out += "\r\n";
  return out;
}

std::string VariableStore::write(std::string_view name, int index, std::size_t element,
                                 std::string_view values) {
  Variable* v = find(name);
  if (v == nullptr) return std::string(kUnknownVariable);
  if (index < 0 || index >= kIndexCount || element >= v->size) return std::string(kBadIndex);
  if (v->type == VarType::Char) {
    // EOT ends the text (the service program frames blocks with it); it is
    // never stored, so a read lists the text without it.
    values = values.substr(0, values.find(kEndOfText));
    if (values.size() > v->size - element) return std::string(kTooMany);
    std::string& text = v->texts[index];
    text.replace(element, values.size(), values);
    for (std::size_t i = element + values.size(); i < v->size; ++i) text[i] = kFillChar;
    return {};
  }
  std::vector<double> numbers;
  if (!parseNumbers(v->type, values, numbers) || numbers.empty()) return std::string(kBadValue);
  if (numbers.size() > v->size - element) return std::string(kTooMany);
  for (std::size_t i = 0; i < numbers.size(); ++i) v->numbers[index][element + i] = numbers[i];
  return {};
}

std::string VariableStore::text(std::string_view name, int index) const {
  const Variable* v = find(name);
  if (v == nullptr || v->type != VarType::Char || index < 0 || index >= kIndexCount) return {};
  std::string value = v->texts[index];
  const std::size_t fill = value.find(kFillChar);
  if (fill != std::string::npos) value.resize(fill);
  return value;
}

double VariableStore::number(std::string_view name, int index, double fallback) const {
  const Variable* v = find(name);
  if (v == nullptr || v->type == VarType::Char || index < 0 || index >= kIndexCount)
    return fallback;
  return v->numbers[index][0];
}

}  // namespace tarnlux::meter
