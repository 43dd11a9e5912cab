#pragma once

#include <QByteArray>
#include <QDialog>
#include <deque>
#include <functional>
#include <string>

#include "app/operation_guard.h"
#include "terminal/term_emulator.h"
#include "terminal/term_session.h"
#include "terminal/text_capture.h"

class QLineEdit;
class QPushButton;

namespace tarnlux::ui {

struct AppState;
class TermScrn;

// The program's terminal capture: it stays open when the screen is left
// while capturing, and the main window closes it when the program ends.
TextCapture& programTextCapture();

// The meter's own text interface: keys typed in the terminal window go to
// the meter, what it sends is drawn (and captured when asked). The screen
// runs its own loop until it is closed: each pass sends the keys typed
// meanwhile, pumps the window messages and reads what has arrived.
class Terminal : public QDialog {
  Q_OBJECT

 public:
  Terminal(AppState& app, QWidget* parent = nullptr);
  ~Terminal() override;

  // Called when a send fails for good while the program is connected: the
  // program disconnects (the menu's disconnect command).
  void setDisconnect(std::function<void()> disconnect) { disconnect_ = std::move(disconnect); }

  // Opens the link unless connected, shows the screen and runs the loop until
  // "Quitter" or close. Returns when the screen has ended.
  void run();
  // The parts of run(), for tests that step the loop themselves.
  void begin();
  void pass(int waitMs = 10);
  void end();
  bool ended() const { return ended_; }

  TermScrn* terminalWindow() const { return term_; }
  const TermEmulator& emulator() const { return emulator_; }
  bool linkFailed() const { return session_.failed(); }

 public slots:
  void pressCommand();
  void pressMenu();
  void pressMenuRedraw();
  void browse();
  void startCapture();
  void stopCapture();
  void reject() override;

 private:
  void queue(const std::string& bytes, bool arrowKey);
  void showCaptureState();
  void rememberEntries();

  AppState& app_;
  TermEmulator emulator_;
  TermSession session_;
  OperationGuard guard_;
  std::function<void()> disconnect_;
  struct Pending {
    std::string bytes;
    bool arrow;
  };
  std::deque<Pending> pending_;
  bool openedLink_ = false;
  bool ended_ = false;
  bool closing_ = false;

  TermScrn* term_ = nullptr;
  QLineEdit* directory_ = nullptr;
  QLineEdit* fileName_ = nullptr;
  QPushButton* browse_ = nullptr;
  QPushButton* start_ = nullptr;
  QPushButton* stop_ = nullptr;
};

}  // namespace tarnlux::ui
