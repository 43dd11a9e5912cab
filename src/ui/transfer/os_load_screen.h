#pragma once

#include <QDialog>
#include <functional>

#include "common/clock.h"
#include "app/operation_guard.h"
#include "common/progress_line.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace tarnlux {
struct OsLoadCounters;
}

namespace tarnlux::ui {

struct AppState;

// The question asked before a load on a slow line: true is OK (go on).
using SpeedQuestionPresenter = std::function<bool(QWidget* parent)>;
// Tests answer the question themselves; returns the presenter replaced.
SpeedQuestionPresenter setSpeedQuestionPresenter(SpeedQuestionPresenter presenter);

// "Charger syst exploit": sends a new operating system file to the meter's
// boot loader, showing the block, the bytes sent and the retries as it goes.
class Load : public QDialog {
  Q_OBJECT

 public:
  // `disconnect` gives up the program's connection after a transport failure.
  Load(AppState& app, QWidget* parent = nullptr, std::function<void()> disconnect = {});
  ~Load() override;

  // Tests run the load's time-outs on a faster clock.
  void setClock(const Clock* clock) { clock_ = clock; }

  void send();
  void stop();
  void reject() override;

 private:
  void buildControls();
  void openLinkIfIdle();
  void browse();
  void rememberEntries();
  void showCounters(const OsLoadCounters& counters);
  void setInputsEnabled(bool enabled);

  AppState& app_;
  std::function<void()> disconnect_;
  OperationGuard guard_;
  const Clock* clock_ = nullptr;
  bool openedLink_ = false;
  bool closeRequested_ = false;
  QLineEdit* directory_ = nullptr;
  QLineEdit* fileName_ = nullptr;
  QPushButton* browse_ = nullptr;
  QPushButton* send_ = nullptr;
  QPushButton* stop_ = nullptr;
  QLabel* retries_ = nullptr;
  QLabel* totalRetries_ = nullptr;
  QLabel* block_ = nullptr;
  QLabel* bytesSent_ = nullptr;
  QLabel* status_ = nullptr;
};

// Opens the screen modally.
void openOsLoadScreen(AppState& app, QWidget* parent, std::function<void()> disconnect);

}  // namespace tarnlux::ui
