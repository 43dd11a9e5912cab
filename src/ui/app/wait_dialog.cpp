#include "app/wait_dialog.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>
#include <new>

#include "app/error_box.h"

namespace tarnlux::ui {

namespace {

constexpr const char* kWaitTitle = "Veuillez patienter...";
constexpr const char* kCancelCaption = "Annuler";
constexpr const char* kCannotCreate = "IMPOSSIBLE CREER DIALOGUE ATTENTE";

QPointer<WAIT>& current() {
  static QPointer<WAIT> dialog;
  return dialog;
}

QPointer<QWidget>& mainWindowPointer() {
  static QPointer<QWidget> window;
  return window;
}

}  // namespace

WAIT::WAIT(const QString& text, std::atomic<int>* cancelFlag, QWidget* parent)
    : QDialog(parent), cancelFlag_(cancelFlag) {
  setObjectName("WAIT");
  setModal(false);
  // No caption of its own exists besides this one; it reads the same with or
  // without a Cancel button.
  setWindowTitle(QString::fromLatin1(kWaitTitle));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  message_ = new QLabel(text, this);
  message_->setObjectName("message");
  message_->setAlignment(Qt::AlignCenter);
  message_->setMinimumWidth(260);
  message_->setWordWrap(true);

  cancel_ = new QPushButton(QString::fromLatin1(kCancelCaption), this);
  cancel_->setObjectName("cancel");
  cancel_->setVisible(cancelFlag != nullptr);
  connect(cancel_, &QPushButton::clicked, this, &WAIT::requestCancel);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(cancel_);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(20, 16, 20, 16);
  layout->setSpacing(12);
  layout->addWidget(message_);
  layout->addLayout(buttons);
}

void WAIT::requestCancel() {
  if (cancelFlag_ != nullptr) cancelFlag_->store(1);
}

void WAIT::reject() { requestCancel(); }

void WAIT::closeEvent(QCloseEvent* event) {
  requestCancel();
  event->ignore();
}

int showPleaseWait(const QString& text, std::atomic<int>* cancelFlag, QWidget* parent) {
  if (current()) return 1;
  try {
    current() = new WAIT(text, cancelFlag, parent != nullptr ? parent : mainWindow());
  } catch (const std::bad_alloc&) {
    ErrorBox(kCannotCreate, -1, nullptr);
    return 0;
  }
  current()->setAttribute(Qt::WA_DeleteOnClose, false);
  current()->show();
  // The caller usually goes on with slow work straight away: let the dialog paint.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  return 1;
}

void closePleaseWait() {
  if (WAIT* dialog = current()) {
    current() = nullptr;
    dialog->hide();
    // Later, in case the request comes from inside one of the dialog's own events.
    dialog->deleteLater();
  }
}

WAIT* pleaseWaitDialog() { return current(); }

void setMainWindow(QWidget* window) { mainWindowPointer() = window; }
QWidget* mainWindow() { return mainWindowPointer(); }

}  // namespace tarnlux::ui
