#pragma once

#include <QDialog>
#include <atomic>
#include <string>

#include "link/password_io.h"

class QGroupBox;
class QLineEdit;

namespace tarnlux {
class ProgressLine;
}

namespace tarnlux::ui {

struct AppState;

// The meter password dialog: the current password and, when asked, a new one
// with its confirmation. OK is accepted only when the entries pass the rules;
// otherwise the message is shown and the dialog stays open on the field.
class PassWord : public QDialog {
  Q_OBJECT

 public:
  // `meterPassword` is the password read from the meter, trailing spaces cut.
  explicit PassWord(std::string meterPassword, QWidget* parent = nullptr);

  // After OK: the new password (upper case, padded to 8), or empty when no
  // change was asked.
  const std::string& newPassword() const { return newPassword_; }

 public slots:
  void accept() override;

 private:
  QLineEdit* field(PasswordField which) const;

  std::string meterPassword_;
  std::string newPassword_;
  QLineEdit* password_;
  QGroupBox* change_;
  QLineEdit* newPasswordField_;
  QLineEdit* confirmation_;
};

// The dialog as checkMeterPassword wants it, owned by `parent`.
PasswordDialog passwordDialog(QWidget* parent);

// The password step before a screen writes the memory block of `channel`:
// checkMeterPassword on the record's link with the dialog above, failures in
// error boxes owned by `screen`. 0 to go on, -2, 1 (change not confirmed) or a
// link code.
int checkPasswordOnScreen(AppState& app, int channel, QWidget* screen,
                          std::atomic<int>* cancelFlag, ProgressLine* progress);

}  // namespace tarnlux::ui
