#pragma once

class QHBoxLayout;
class QLabel;
class QPushButton;
class QWidget;

namespace tarnlux::ui {

// A push button with its object name (tests find it by that name) that never
// becomes the dialog's default button, so Enter stays with the fields.
QPushButton* screenButton(QWidget* parent, const char* name, const char* text);

// The status line under a screen: "Etat:" and the sunken message field.
struct StatusLine {
  QLabel* text = nullptr;
  QHBoxLayout* row = nullptr;
};
StatusLine makeStatusLine(QWidget* parent);

}  // namespace tarnlux::ui
