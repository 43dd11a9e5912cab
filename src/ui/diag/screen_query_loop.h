#pragma once

#include <QPointer>
#include <functional>
#include <memory>
#include <string>

#include "app/operation_guard.h"
#include "diag/query_loop.h"

class QDialog;
class QLabel;

namespace tarnlux {
class Clock;
}

namespace tarnlux::ui {

struct AppState;

// The trend rings every query loop of the program fills (one set: only one
// loop runs at a time).
TrendStore& programTrendStore();

// The query loop as a screen runs it: the loop's host pumps the window
// messages between its passes (so Stop, Exit, the capture button and the lists
// work while it runs), shows the status line, holds the program's busy flag for
// the run, and closes the screen when an Exit arrived while it ran. The
// diagnostic screen, the trend graph and the summary each own one.
class ScreenQueryLoop final : public QueryLoopHost {
 public:
  struct Callbacks {
    std::function<void(unsigned activeMask, int periodSeconds, bool allFailed)> started;
    std::function<void(const QueryPeriodReport&)> period;
    std::function<void(const CaptureEndReport&)> captureEnded;
  };

  ScreenQueryLoop(QueryHostKind kind, AppState& app, QDialog* screen, QLabel* status,
                  Callbacks callbacks);
  ~ScreenQueryLoop() override;

  // The clock the loop measures its periods with, and how much faster than
  // real time it runs (tests); set before the first query.
  void setClock(const Clock* clock, double factor = 1.0);

  // Query: runs the loop until it is stopped, fails or the screen exits.
  // Turned away (nothing done) while any operation of the program runs.
  QueryLoopEnd query();
  void stop() { loop().requestStop(); }
  // Exit or window close: true while the loop runs (the screen closes when it
  // has ended), false when the screen may close now.
  bool requestExit();
  // The capture button (starts the loop as well when idle).
  void pressCapture(const CaptureRequest& request);

  bool running() const { return loop_ && loop_->running(); }
  bool capturing() const { return loop_ && loop_->capturing(); }
  QueryLoop& loop();
  const PassFailLimits& limits() const;
  TrendStore& trend() { return programTrendStore(); }

  // QueryLoopHost
  void showStatus(const std::string& text) override;
  void idle(std::int64_t clockMs) override;
  void loopStarted(unsigned activeMask, int periodSeconds, bool allFailed) override;
  void periodDone(const QueryPeriodReport& report) override;
  void captureEnded(const CaptureEndReport& report) override;
  void closeScreen() override;

 private:
  void runGuarded(const std::function<void()>& body);

  QueryHostKind kind_;
  AppState& app_;
  QPointer<QDialog> screen_;
  QPointer<QLabel> status_;
  Callbacks callbacks_;
  const Clock* clock_ = nullptr;
  double factor_ = 1.0;
  OperationGuard guard_;
  LinkQueryLoopMeter meter_;
  std::unique_ptr<QueryLoop> loop_;
  bool closeRequested_ = false;
};

}  // namespace tarnlux::ui
