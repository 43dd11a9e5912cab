// The meter's answer to the password read, and the dialog's rules fed with
// what it gives. A password read must be one the meter could hold.
#include <string>

#include "fuzz_input.h"
#include "link/password.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarnlux;
  fuzz::Input in(data, size);
  const std::uint8_t choice = in.take();
  const std::string_view answer = in.text();
  std::string password = "unchanged";
  const int rc = parsePasswordAnswer(answer, password);
  if (rc != 0) {
    if (password != "unchanged") __builtin_trap();  // a fault leaves the caller's value
    return 0;
  }
  if (password.size() > kPasswordLength) __builtin_trap();
  for (char c : password) {
    if (!isPasswordCharacter(c)) __builtin_trap();
  }
  // The dialog judged against it: typing the password back is always accepted.
  PasswordEntry entry;
  entry.password = password.empty() ? std::string("X") : password;
  entry.changeRequested = (choice & 1) != 0;
  entry.newPassword = std::string(answer.substr(0, choice >> 4));
  entry.confirmation = (choice & 2) != 0 ? entry.newPassword : password;
  const PasswordCheck check = checkPasswordEntry(entry, password);
  if (!password.empty() && !entry.changeRequested && check.message != nullptr) __builtin_trap();
  if (check.message == nullptr && !check.newPassword.empty() &&
      !passwordChangeConfirmed(check.newPassword, entry.newPassword))
    __builtin_trap();
  return 0;
}
