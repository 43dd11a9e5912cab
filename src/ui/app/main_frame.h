#pragma once

#include <QMainWindow>
#include <functional>
#include <map>
#include <vector>

#include "app/app_state.h"
#include "app/report_host.h"

class QAction;
class QLabel;
class QMenu;

namespace tarnlux::ui {

class pictbutt;

// The main window: the picture, the French menu and the two-pane status bar.
// Every menu command runs a handler registered for its id; the screens register
// theirs in installScreens (screen_table.cpp). A command without a handler is
// shown greyed and does nothing.
class CMainFrame : public QMainWindow {
  Q_OBJECT

 public:
  explicit CMainFrame(AppState& app = AppState::instance(), QWidget* parent = nullptr);
  ~CMainFrame() override;

  AppState& app() { return app_; }

  // What choosing the menu item `id` does.
  void runCommand(int id);
  using CommandHandler = std::function<void()>;
  void setCommandHandler(int id, CommandHandler handler);

  // The connect screen: runs modally, fills the meter facts of the record
  // (memory block, alarm storage) and leaves the link open; true when it ended
  // with OK. Until one is set the connect command does nothing.
  using ConnectScreen = std::function<bool(CMainFrame& frame)>;
  void setConnectScreen(ConnectScreen screen) {
    connectScreen_ = std::move(screen);
    updateCommandStates();
  }

  ReportGeneratorHost& reportGenerator() { return *reportHost_; }

  // Work done when the window closes, after the link is closed and before the
  // report generator ends (closing an open capture file, freeing an engine).
  void addCloseStep(std::function<void()> step) { closeSteps_.push_back(std::move(step)); }

  // Pane texts from the connection state and the settings.
  void refreshStatusBar();
  QLabel* statusPane(int index) const { return index == 0 ? pane0_ : pane1_; }

  // The menu item of a command, null when the menu does not hold it now.
  QAction* commandAction(int id) const;
  // The top-level menu at `position` (0 "&Fichier" ... 8 "&Aide").
  QMenu* topMenu(int position) const;

  // Shown maximised; without a window manager to do that, the window is also
  // sized to the screen's available area.
  void showMaximizedOnScreen();

  pictbutt* picture() const { return picture_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildMenu();
  QAction* makeAction(int id, const char* label);
  void updateCommandStates();
  void connectOrDisconnect();
  void connectMeter();
  void disconnectMeter();
  void addConnectedItems();
  void removeConnectedItems();
  void printSetup();
  void about();

  AppState& app_;
  pictbutt* picture_ = nullptr;
  QLabel* pane0_ = nullptr;
  QLabel* pane1_ = nullptr;
  std::vector<QMenu*> menus_;
  std::map<int, QAction*> actions_;
  std::map<int, CommandHandler> handlers_;
  ConnectScreen connectScreen_;
  ReportGeneratorHost* reportHost_ = nullptr;
  std::vector<std::function<void()>> closeSteps_;
};

// Registers the command handlers of the screens (screen_table.cpp).
void installScreens(CMainFrame& frame);

}  // namespace tarnlux::ui
