#include "link/password.h"

#include <gtest/gtest.h>

using namespace tarnlux;

TEST(PasswordAnswer, ParsesTheMetersPassword) {
  std::string pw = "unchanged";
  ASSERT_EQ(parsePasswordAnswer("cv 0 pw\r\nchar pw[8] = |SECRET1 |", pw), 0);
  EXPECT_EQ(pw, "SECRET1");
  ASSERT_EQ(parsePasswordAnswer("char pw[10] |A\"# 9   ~~|", pw), 0);
  EXPECT_EQ(pw, "A\"# 9");
  ASSERT_EQ(parsePasswordAnswer("char pw[8] |        |", pw), 0);
  EXPECT_EQ(pw, "");  // no password
  ASSERT_EQ(parsePasswordAnswer("char pw[8] |lower   |", pw), 0);
  EXPECT_EQ(pw, "LOWER");

  pw = "unchanged";
  EXPECT_EQ(parsePasswordAnswer("char pw[8] SECRET", pw), kPasswordNoBar);
  EXPECT_EQ(parsePasswordAnswer("char pw[8] |SECRET", pw), kPasswordAnswerShort);
  EXPECT_EQ(parsePasswordAnswer("char pw[8] |SHORT|  ", pw), kPasswordWrongLength);
  EXPECT_EQ(parsePasswordAnswer("char pw[9] |NINECHARS|", pw), kPasswordWrongLength);
  EXPECT_EQ(parsePasswordAnswer("char pw[8] |PASS-WD |", pw), kPasswordBadCharacter);
  EXPECT_EQ(pw, "unchanged");
}

TEST(PasswordCommands, PaddedUpperCase) {
  EXPECT_EQ(passwordReadCommand(2), "cv 2 pw\r");
  EXPECT_EQ(passwordWriteCommand(1, "ab cd1"), "cv 1 pw[0] AB CD1  \r");
  EXPECT_EQ(paddedPassword("abcdefgh"), "ABCDEFGH");
  // The meter shows the padded text; its trailing spaces do not count.
  EXPECT_TRUE(passwordChangeConfirmed("AB CD1  ", "AB CD1  "));
  EXPECT_TRUE(passwordChangeConfirmed("AB CD1", "ab cd1"));
  EXPECT_FALSE(passwordChangeConfirmed("AB CD", "AB CD1  "));
}

TEST(PasswordDialog, EntryRules) {
  PasswordEntry entry;
  EXPECT_STREQ(checkPasswordEntry(entry, "SECRET").message, "Saisir mot de passe");
  entry.password = "wrong";
  PasswordCheck check = checkPasswordEntry(entry, "SECRET");
  EXPECT_STREQ(check.message, "M. de p. incorrect");
  EXPECT_EQ(check.focus, PasswordField::Password);
  // Lower case matches the meter's upper-case password.
  entry.password = "secret";
  check = checkPasswordEntry(entry, "SECRET");
  EXPECT_EQ(check.message, nullptr);
  EXPECT_EQ(check.newPassword, "");
}

TEST(PasswordDialog, ChangeRules) {
  PasswordEntry entry;
  entry.password = "SECRET";
  entry.changeRequested = true;
  struct Case {
    const char* fresh;
    const char* confirmation;
    const char* message;
    PasswordField focus;
  } cases[] = {
      {"", "", "Saisir mot de passe", PasswordField::NewPassword},
      {"ninechars", "ninechars", "Mot de passe trop long. Nbre max de caracteres est   8",
       PasswordField::NewPassword},
      {"pass-wd", "pass-wd", "Caracteres incorrects dans mot de passe",
       PasswordField::NewPassword},
      {"new", "", "Saisir mot de passe de confirmation", PasswordField::Confirmation},
      {"new", "old", "Erreur de confirmation de mot de passe ", PasswordField::Confirmation},
  };
  for (const auto& c : cases) {
    entry.newPassword = c.fresh;
    entry.confirmation = c.confirmation;
    const PasswordCheck check = checkPasswordEntry(entry, "SECRET");
    ASSERT_NE(check.message, nullptr) << c.fresh;
    EXPECT_STREQ(check.message, c.message);
    EXPECT_EQ(check.focus, c.focus);
  }
  // Six characters with a space, confirmed in another case: upper case, padded.
  entry.newPassword = "ab cd1";
  entry.confirmation = "AB CD1";
  PasswordCheck check = checkPasswordEntry(entry, "SECRET");
  EXPECT_EQ(check.message, nullptr);
  EXPECT_EQ(check.newPassword, "AB CD1  ");
  // The same password again is no change.
  entry.newPassword = entry.confirmation = "secret";
  check = checkPasswordEntry(entry, "SECRET");
  EXPECT_EQ(check.message, nullptr);
  EXPECT_EQ(check.newPassword, "");
}
