#include "link/typed_read.h"

#include <cctype>

#include "link/number_rules.h"

namespace tarnlux {

namespace {

constexpr const char* kInvalidMeterData = "Donnees compt. non valables";
constexpr std::size_t kMaxToken = 31;

bool isDecimalDigit(char c) { return c >= '0' && c <= '9'; }
bool isUpperHexDigit(char c) { return isDecimalDigit(c) || (c >= 'A' && c <= 'F'); }
bool isWordCharacter(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; }
bool isSpace(char c) { return c == ' ' || c == '\t'; }
bool endsToken(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\0'; }

// Offset just past `name` found after `typeWord`, or a fault code through `fault`.
bool locateValue(std::string_view answer, std::string_view typeWord, std::string_view name,
                 int typeFault, int nameFault, std::size_t& afterName, int& fault) {
  const std::size_t typeAt = findWholeWord(answer, typeWord);
  if (typeAt == std::string_view::npos) {
    fault = typeFault;
    return false;
  }
  const std::size_t nameAt = name.empty() ? std::string_view::npos : answer.find(name, typeAt + typeWord.size());
  if (nameAt == std::string_view::npos) {
    fault = nameFault;
    return false;
  }
  afterName = nameAt + name.size();
  return true;
}

// The blank-delimited token after the name, for the int and double reads.
int tokenAfterName(std::string_view answer, std::string_view typeWord, std::string_view name,
                   int firstFault, std::string_view& token) {
  std::size_t at = 0;
  int fault = 0;
  if (!locateValue(answer, typeWord, name, firstFault, firstFault + 1, at, fault)) return fault;
  if (at >= answer.size()) return firstFault + 2;
  while (at < answer.size() && isSpace(answer[at])) ++at;
  std::size_t end = at;
  while (end < answer.size() && !endsToken(answer[end])) ++end;
  token = answer.substr(at, end - at);
  if (token.empty() || token.size() > kMaxToken) return firstFault + 3;
  return kOk;
}

}  // namespace

int parseUnsignedAnswer(std::string_view answer, std::string_view typeWord, std::string_view name,
                        std::uint32_t& value) {
  std::size_t at = 0;
  int fault = 0;
  if (!locateValue(answer, typeWord, name, kUnsignedTypeWordMissing, kUnsignedNameMissing, at, fault))
    return fault;
  if (at >= answer.size()) return kUnsignedNothingAfterName;
  // The value starts at the first digit; a value that begins with a letter
  // A-F counts when the letter starts a word, so "FF" is not read as nothing.
  for (; at < answer.size(); ++at) {
    const char c = answer[at];
    if (isDecimalDigit(c)) break;
    if (isUpperHexDigit(c) && !isWordCharacter(answer[at - 1])) break;
  }
  std::uint64_t parsed = 0;
  std::size_t digits = 0;
  for (; at < answer.size() && isUpperHexDigit(answer[at]); ++at, ++digits) {
    if (digits == 8) return kUnsignedTooManyDigits;
    const char c = answer[at];
    parsed = parsed * 16 + static_cast<std::uint64_t>(isDecimalDigit(c) ? c - '0' : c - 'A' + 10);
  }
  if (digits == 0) return kUnsignedNoDigit;
  value = static_cast<std::uint32_t>(parsed);
  return kOk;
}

int parseIntAnswer(std::string_view answer, std::string_view typeWord, std::string_view name, int base,
                   std::int32_t& value) {
  std::string_view token;
  const int fault = tokenAfterName(answer, typeWord, name, kIntTypeWordMissing, token);
  if (fault != kOk) return fault;
  std::int32_t parsed = 0;
  if (!parseMeterInteger(token, base, parsed)) return kIntInvalid;
  value = parsed;
  return kOk;
}

int parseDoubleAnswer(std::string_view answer, std::string_view name, double& value) {
  std::string_view token;
  const int fault = tokenAfterName(answer, "double", name, kDoubleTypeWordMissing, token);
  if (fault != kOk) return fault;
  double parsed = 0.0;
  if (!parseMeterDecimal(token, parsed)) return kDoubleInvalid;
  value = parsed;
  return kOk;
}

int parseTextAnswer(std::string_view answer, bool upperCase, std::string& value) {
  const std::size_t bar = answer.find('|');
  if (bar == std::string_view::npos) return kTextNoBar;
  if (answer.size() - bar < 3) return kTextTooShort;
  std::size_t at = bar + 1;
  while (at < answer.size() && isSpace(answer[at])) ++at;
  std::string text;
  for (; at < answer.size() && answer[at] != '|' && answer[at] != '~'; ++at) {
    if (text.size() == kMaxTextValue) return kTextBadLength;
    char c = answer[at];
    if (upperCase) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    text.push_back(c);
  }
  if (text.empty()) return kTextBadLength;
  value = std::move(text);
  return kOk;
}

int parseMeterIdAnswer(std::string_view answer, std::string& rawId, std::string& displayId) {
  const std::size_t bar = answer.find('|');
  if (bar == std::string_view::npos) return kIdNoBar;
  if (answer.size() - bar <= kMeterIdLength) return kIdTooShort;
  rawId.assign(answer.substr(bar + 1, kMeterIdLength));
  displayId = rawId;
  for (char& c : displayId)
    if (c == ' ') c = '_';
  return kOk;
}

int reportAnswerFault(int fault, const OperationContext& ctx) {
  if (fault != kOk) ctx.report(kInvalidMeterData, fault);
  return fault;
}

int checkReadingRange(std::int64_t value, ReadingRange range, const OperationContext& ctx) {
  if (value >= range.low && value <= range.high) return kOk;
  return reportAnswerFault(kValueOutOfRange, ctx);
}

}  // namespace tarnlux
