#pragma once

#include <QDialog>

namespace tarnlux::ui {

// The about box: logo, program and build, maker, and the manual button.
class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CAboutDlg(QWidget* parent = nullptr);

  // "Tarnlux (Compile <date> <time> Version 1.01.05)".
  static QString versionLine();
};

}  // namespace tarnlux::ui
