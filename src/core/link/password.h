#pragma once

#include <string>
#include <string_view>

namespace tarnlux {

// The meter's password: up to 8 characters of "A"-"Z", "0"-"9", space, double
// quote and "#", stored in the meter padded with spaces to 8.

inline constexpr int kPasswordNoBar = 21001;
inline constexpr int kPasswordAnswerShort = 21002;
inline constexpr int kPasswordWrongLength = 21003;
inline constexpr int kPasswordBadCharacter = 21004;
inline constexpr std::size_t kPasswordLength = 8;

inline constexpr const char* kPasswordReadFailedText = "Mot de passe incorrect du compteur";
inline constexpr const char* kPasswordChangeNotConfirmedText =
    "Erreur de confirmation de mot de passe du compteur (reenregistrer le mot de passe)";

// Allowed after upper-casing.
bool isPasswordCharacter(char c);
std::string upperCasePassword(std::string_view text);
// Upper case, padded with spaces to 8 (longer texts are left as they are).
std::string paddedPassword(std::string_view text);
// The text without its trailing spaces.
std::string_view withoutTrailingSpaces(std::string_view text);

// "cv %d pw\r"
std::string passwordReadCommand(int channel);
// "cv %d pw[0] %s\r" with the new password padded to 8.
std::string passwordWriteCommand(int channel, std::string_view newPassword);

// Reads the meter's answer to "cv n pw": the 8 characters after the first "|"
// up to the next "|" or "~", trailing spaces cut (lower case taken as upper
// case). An empty result means the meter has no password. 0 or 21001-21004.
int parsePasswordAnswer(std::string_view answer, std::string& password);

// After a change: the password read back (trailing spaces cut) holds the new one.
bool passwordChangeConfirmed(std::string_view readBack, std::string_view newPassword);

// What the password dialog holds when OK is pressed.
struct PasswordEntry {
  std::string password;
  bool changeRequested = false;
  std::string newPassword;
  std::string confirmation;
};

enum class PasswordField { None, Password, NewPassword, Confirmation };

struct PasswordCheck {
  const char* message = nullptr;  // the message to show, or null when accepted
  PasswordField focus = PasswordField::None;
  // When accepted: the new password, upper case and padded to 8, or empty when
  // no change is asked (or the new one equals the current one).
  std::string newPassword;
};

// The dialog's OK rules against the meter's password (trailing spaces cut).
PasswordCheck checkPasswordEntry(const PasswordEntry& entry, std::string_view meterPassword);

}  // namespace tarnlux
