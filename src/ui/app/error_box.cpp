#include "app/error_box.h"

#include <QLabel>
#include <QMessageBox>
#include <QStatusBar>

#include "app/qt_text.h"
#include "common/error_text.h"

namespace tarnlux::ui {

namespace {

ErrorBoxPresenter& presenter() {
  static ErrorBoxPresenter current = showErrorMessageBox;
  return current;
}

}  // namespace

void showErrorMessageBox(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kErrorCaption), text, QMessageBox::Ok,
                  parent);
  box.exec();
}

ErrorBoxPresenter setErrorBoxPresenter(ErrorBoxPresenter replacement) {
  ErrorBoxPresenter previous = std::move(presenter());
  presenter() = replacement ? std::move(replacement) : ErrorBoxPresenter(showErrorMessageBox);
  return previous;
}

void ErrorBox(std::string_view message, std::string_view extra, std::string_view extra2, int code,
              QWidget* parent) {
  presenter()(parent, qtText(errorBoxText(message, extra, extra2, code)));
}

void StatusError(std::string_view message, std::string_view extra, std::string_view extra2,
                 int code, QLabel* statusLine) {
  if (statusLine != nullptr) statusLine->setText(qtText(statusErrorText(message, extra, extra2, code)));
}

void StatusError(std::string_view message, std::string_view extra, std::string_view extra2,
                 int code, QStatusBar* statusBar) {
  if (statusBar != nullptr) statusBar->showMessage(qtText(statusErrorText(message, extra, extra2, code)));
}

}  // namespace tarnlux::ui
