#include "app/password_dialog.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/app_state.h"
#include "app/error_box.h"
#include "app/qt_text.h"
#include "app/screen_context.h"
#include "common/result.h"

namespace tarnlux::ui {

namespace {

constexpr const char* kTitle = "Mot de passe";
constexpr const char* kChangeGroup = "Changer mot de passe";

QLineEdit* makeField(QWidget* parent, const char* name) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  edit->setEchoMode(QLineEdit::Password);
  return edit;
}

}  // namespace

PassWord::PassWord(std::string meterPassword, QWidget* parent)
    : QDialog(parent), meterPassword_(std::move(meterPassword)) {
  setObjectName("PassWord");
  setWindowTitle(QString::fromLatin1(kTitle));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  auto* passwordLabel = new QLabel(QStringLiteral("Saisir mot de passe:"), this);
  passwordLabel->setObjectName("passwordLabel");
  password_ = makeField(this, "password");
  passwordLabel->setBuddy(password_);

  // The group's own check box: its fields follow it, enabled only while ticked.
  change_ = new QGroupBox(QString::fromLatin1(kChangeGroup), this);
  change_->setObjectName("changePassword");
  change_->setCheckable(true);
  change_->setChecked(false);
  auto* newLabel = new QLabel(QStringLiteral("Nouv mot de passe:"), change_);
  newLabel->setObjectName("newPasswordLabel");
  newPasswordField_ = makeField(change_, "newPassword");
  newLabel->setBuddy(newPasswordField_);
  auto* confirmLabel = new QLabel(QStringLiteral("Confirmer mot de passe:"), change_);
  confirmLabel->setObjectName("confirmationLabel");
  confirmation_ = makeField(change_, "confirmation");
  confirmLabel->setBuddy(confirmation_);
  auto* changeLayout = new QGridLayout(change_);
  changeLayout->addWidget(newLabel, 0, 0);
  changeLayout->addWidget(newPasswordField_, 0, 1);
  changeLayout->addWidget(confirmLabel, 1, 0);
  changeLayout->addWidget(confirmation_, 1, 1);

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName("ok");
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Annuler"), this);
  cancel->setObjectName("cancel");
  cancel->setAutoDefault(false);
  connect(ok, &QPushButton::clicked, this, &PassWord::accept);
  connect(cancel, &QPushButton::clicked, this, &PassWord::reject);

  auto* entry = new QHBoxLayout;
  entry->addWidget(passwordLabel);
  entry->addWidget(password_, 1);

  auto* left = new QVBoxLayout;
  left->addLayout(entry);
  left->addWidget(change_);
  left->addStretch();

  auto* buttons = new QVBoxLayout;
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  buttons->addStretch();

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(14, 14, 14, 14);
  layout->setSpacing(18);
  layout->addLayout(left, 1);
  layout->addLayout(buttons);

  password_->setFocus(Qt::OtherFocusReason);
}

QLineEdit* PassWord::field(PasswordField which) const {
  switch (which) {
    case PasswordField::NewPassword:
      return newPasswordField_;
    case PasswordField::Confirmation:
      return confirmation_;
    case PasswordField::Password:
    case PasswordField::None:
      break;
  }
  return password_;
}

void PassWord::accept() {
  PasswordEntry entry;
  entry.password = stdText(password_->text());
  entry.changeRequested = change_->isChecked();
  if (entry.changeRequested) {
    entry.newPassword = stdText(newPasswordField_->text());
    entry.confirmation = stdText(confirmation_->text());
  }
  PasswordCheck check = checkPasswordEntry(entry, meterPassword_);
  if (check.message != nullptr) {
    ErrorBox(check.message, -1, this);
    QLineEdit* edit = field(check.focus);
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
    return;
  }
  newPassword_ = std::move(check.newPassword);
  QDialog::accept();
}

PasswordDialog passwordDialog(QWidget* parent) {
  return [parent](std::string_view meterPassword, std::string& newPassword) {
    PassWord dialog{std::string(meterPassword), parent};
    if (dialog.exec() != QDialog::Accepted) return kCancelled;
    newPassword = dialog.newPassword();
    return kOk;
  };
}

int checkPasswordOnScreen(AppState& app, int channel, QWidget* screen,
                          std::atomic<int>* cancelFlag, ProgressLine* progress) {
  OperationContext ctx = screenContext(screen, cancelFlag, progress);
  return checkMeterPassword(app.link, channel, passwordDialog(screen), ctx);
}

}  // namespace tarnlux::ui
