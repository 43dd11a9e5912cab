#pragma once

#include <QApplication>
#include <memory>

namespace tarnlux::ui {

class CMainFrame;

// The application: starts the program in a fixed order, then only dispatches
// the main window's commands.
class CQmApp : public QApplication {
  Q_OBJECT

 public:
  CQmApp(int& argc, char** argv);
  ~CQmApp() override;

  // Start-up. False when the program must end.
  bool initInstance();
  // Qt's own French texts (standard buttons, file chooser, print dialog), from
  // the system's Qt translations. False when they are not installed.
  static bool installQtTranslations(QCoreApplication& app);
  CMainFrame* mainFrame() const { return frame_.get(); }

 private:
  std::unique_ptr<CMainFrame> frame_;
};

}  // namespace tarnlux::ui
