#pragma once

#include <QString>
#include <functional>
#include <string_view>

class QLabel;
class QStatusBar;
class QWidget;

namespace tarnlux::ui {

// Shows a failure in a message box captioned "ERR." owned by `parent` (none
// when null): message + extra + extra2, then " - Code d'erreur: " and the code
// when the code is 0 or more (0 stands for the last system error).
void ErrorBox(std::string_view message, std::string_view extra, std::string_view extra2, int code,
              QWidget* parent);
inline void ErrorBox(std::string_view message, int code = -1, QWidget* parent = nullptr) {
  ErrorBox(message, {}, {}, code, parent);
}

// The same failure in a screen's status line ("ERR. - " in front when the code
// is negative).
void StatusError(std::string_view message, std::string_view extra, std::string_view extra2,
                 int code, QLabel* statusLine);
void StatusError(std::string_view message, std::string_view extra, std::string_view extra2,
                 int code, QStatusBar* statusBar);

// How error boxes are presented. The program shows a modal box; tests install a
// presenter that records the texts. Returns the presenter it replaces.
using ErrorBoxPresenter = std::function<void(QWidget* parent, const QString& text)>;
ErrorBoxPresenter setErrorBoxPresenter(ErrorBoxPresenter presenter);

// The modal box itself.
void showErrorMessageBox(QWidget* parent, const QString& text);

}  // namespace tarnlux::ui
