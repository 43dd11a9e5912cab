#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace tarnlux::meter {

enum class VarType { Unsigned, Int, Short, Double, Char };

// The word the meter lists before a variable's name ("unsigned", "int", ...).
std::string_view typeWord(VarType type);
std::optional<VarType> typeFromWord(std::string_view word);

// Each variable has one value per index (channel, path, or whatever the
// variable is addressed by); a value is `size` numbers or `size` characters.
constexpr int kIndexCount = 16;

// Unused characters of a char variable.
constexpr char kFillChar = '~';
// Ends the text written into a char variable.
constexpr char kEndOfText = '\x04';

struct Variable {
  std::string name;
  VarType type = VarType::Int;
  std::size_t size = 1;
  double noise = 0;  // half-width of the uniform noise added to each read of a number
  std::vector<std::vector<double>> numbers;  // [index][element]
  std::vector<std::string> texts;            // [index], always `size` characters

  bool isArray() const { return type != VarType::Char && size > 1; }
};

// Makes a variable of that type and size with every index holding `numbers`
// (missing elements repeat the last one) or `text` (filled up to the size).
Variable makeVariable(std::string name, VarType type, std::size_t size,
                      const std::vector<double>& numbers, std::string_view text, double noise);

// Parses blank- or comma-separated numbers of a type (hexadecimal for
// unsigned, as the meter lists them). False on the first bad number.
bool parseNumbers(VarType type, std::string_view text, std::vector<double>& out);

// Answer lines of the command interpreter that are not listings. None of them
// holds a type word, so a reader waiting for one is not fooled.
inline constexpr std::string_view kUnknownVariable = "Error: unknown variable\r\n";
inline constexpr std::string_view kBadIndex = "Error: index out of range\r\n";
inline constexpr std::string_view kBadValue = "Error: bad value\r\n";
inline constexpr std::string_view kTooMany = "Error: too many values\r\n";

// Faults of the listing of a whole numeric array (the meter's table faults).
struct ListingFaults {
  bool omitLast = false;  // the last value is left out
  bool firstOff = false;  // the first value is shown one unit off in its sixth significant digit
};

class VariableStore {
 public:
  void define(Variable variable);
  const Variable* find(std::string_view name) const;
  Variable* find(std::string_view name);

  // The listing of a read ("\r\n"-terminated lines) or an error line.
  // `element` selects one element of a numeric array; `faults` apply to the
  // listing of a whole numeric array.
  std::string read(std::string_view name, int index, std::optional<std::size_t> element,
                   std::mt19937& random, const ListingFaults& faults = {}) const;
  // Stores `values` from `element` on. Empty on success, else an error line.
  // For char variables `values` is the text itself, blanks included, up to
  // an EOT; the characters after it become fill.
  std::string write(std::string_view name, int index, std::size_t element, std::string_view values);

  // The text of a char variable without its fill, or empty.
  std::string text(std::string_view name, int index) const;
  // Element 0 of a numeric variable without noise, or `fallback`.
  double number(std::string_view name, int index, double fallback) const;

 private:
  std::map<std::string, Variable, std::less<>> variables_;
};

}  // namespace tarnlux::meter
