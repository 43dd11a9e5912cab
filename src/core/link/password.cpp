#include "link/password.h"

namespace tarnlux {
namespace {

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool equalIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (upper(a[i]) != upper(b[i])) return false;
  }
  return true;
}

}  // namespace

bool isPasswordCharacter(char c) {
  c = upper(c);
  return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' || c == '"' || c == '#';
}

std::string upperCasePassword(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = upper(c);
  return out;
}

std::string paddedPassword(std::string_view text) {
  std::string out = upperCasePassword(text);
  if (out.size() < kPasswordLength) out.append(kPasswordLength - out.size(), ' ');
  return out;
}

std::string_view withoutTrailingSpaces(std::string_view text) {
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

std::string passwordReadCommand(int channel) { return "cv " + std::to_string(channel) + " pw\r"; }

std::string passwordWriteCommand(int channel, std::string_view newPassword) {
  return "cv " + std::to_string(channel) + " pw[0] " + paddedPassword(newPassword) + "\r";
}

int parsePasswordAnswer(std::string_view answer, std::string& password) {
  const std::size_t bar = answer.find('|');
  if (bar == std::string_view::npos) return kPasswordNoBar;
  if (answer.size() - bar < 9) return kPasswordAnswerShort;
  const std::string_view after = answer.substr(bar + 1);
  const std::string_view value = after.substr(0, after.find_first_of("|~"));
  if (value.size() != kPasswordLength) return kPasswordWrongLength;
  const std::string_view kept = withoutTrailingSpaces(value);
  for (char c : kept) {
    if (!isPasswordCharacter(c)) return kPasswordBadCharacter;
  }
  password = upperCasePassword(kept);
  return 0;
}

bool passwordChangeConfirmed(std::string_view readBack, std::string_view newPassword) {
  // Both sides without their filling spaces: the meter shows the padded text.
  const std::string wanted = upperCasePassword(withoutTrailingSpaces(newPassword));
  const std::string got = upperCasePassword(withoutTrailingSpaces(readBack));
  return got.find(wanted) != std::string::npos;
}

PasswordCheck checkPasswordEntry(const PasswordEntry& entry, std::string_view meterPassword) {
  PasswordCheck check;
  auto refuse = [&check](const char* message, PasswordField field) {
    check.message = message;
    check.focus = field;
    return check;
  };
  if (entry.password.empty()) return refuse("Saisir mot de passe", PasswordField::Password);
  if (!equalIgnoringCase(entry.password, withoutTrailingSpaces(meterPassword))) {
    return refuse("M. de p. incorrect", PasswordField::Password);
  }
  if (!entry.changeRequested) return check;

  const std::string& fresh = entry.newPassword;
  if (fresh.empty()) return refuse("Saisir mot de passe", PasswordField::NewPassword);
  if (fresh.size() > kPasswordLength) {
    // The message and the figure are two texts shown one after the other.
    return refuse("Mot de passe trop long. Nbre max de caracteres est  "
                  " 8",
                  PasswordField::NewPassword);
  }
  for (char c : fresh) {
    if (!isPasswordCharacter(c)) {
      return refuse("Caracteres incorrects dans mot de passe", PasswordField::NewPassword);
    }
  }
  if (entry.confirmation.empty()) {
    return refuse("Saisir mot de passe de confirmation", PasswordField::Confirmation);
  }
  if (!equalIgnoringCase(fresh, entry.confirmation)) {
    return refuse("Erreur de confirmation de mot de passe ", PasswordField::Confirmation);
  }
  if (equalIgnoringCase(withoutTrailingSpaces(fresh), withoutTrailingSpaces(meterPassword))) {
    return check;
  }
  check.newPassword = paddedPassword(fresh);
  return check;
}

}  // namespace tarnlux
