#include "diag/screen_query_loop.h"

#include <time.h>

#include <QDialog>
#include <QLabel>
#include <algorithm>

#include "app/app_state.h"
#include "app/qt_text.h"
#include "app/screen_context.h"

namespace tarnlux::ui {

TrendStore& programTrendStore() {
  // Large: kept off the stack, made once for the whole run.
  static const std::unique_ptr<TrendStore> store = std::make_unique<TrendStore>();
  return *store;
}

ScreenQueryLoop::ScreenQueryLoop(QueryHostKind kind, AppState& app, QDialog* screen,
                                 QLabel* status, Callbacks callbacks)
    : kind_(kind),
      app_(app),
      screen_(screen),
      status_(status),
      callbacks_(std::move(callbacks)),
      meter_(app.link, app.meter, app.block, app.connectOutcome) {}

ScreenQueryLoop::~ScreenQueryLoop() = default;

void ScreenQueryLoop::setClock(const Clock* clock, double factor) {
  clock_ = clock;
  factor_ = factor > 0 ? factor : 1.0;
}

QueryLoop& ScreenQueryLoop::loop() {
  if (!loop_) {
    // The loop reports its own failures in boxes owned by the screen.
    OperationContext ctx = screenContext(screen_.data(), &guard_.cancelFlag, nullptr);
    if (clock_ != nullptr) ctx.clock = clock_;
    loop_ = std::make_unique<QueryLoop>(kind_, meter_, *this, programTrendStore(),
                                        measurementStore(), ctx);
  }
  return *loop_;
}

const PassFailLimits& ScreenQueryLoop::limits() const { return app_.block.working.limits; }

void ScreenQueryLoop::runGuarded(const std::function<void()>& body) {
  closeRequested_ = false;
  guard_.start(body);
  // An Exit that arrived while the loop ran closes the screen now that the
  // loop has let go of it.
  if (closeRequested_ && screen_) {
    closeRequested_ = false;
    screen_->done(QDialog::Rejected);
  }
}

QueryLoopEnd ScreenQueryLoop::query() {
  if (running() || BusyFlag::isSet()) return QueryLoopEnd::AlreadyRunning;
  QueryLoopEnd end = QueryLoopEnd::AlreadyRunning;
  runGuarded([&] { end = loop().run(); });
  return end;
}

bool ScreenQueryLoop::requestExit() {
  if (!running()) {
    if (loop_) loop_->requestExit();
    closeRequested_ = false;
    return false;
  }
  loop().requestExit();
  return true;
}

void ScreenQueryLoop::pressCapture(const CaptureRequest& request) {
  if (running()) {
    loop().pressCaptureButton(request);
    return;
  }
  if (BusyFlag::isSet()) return;
  runGuarded([&] { loop().pressCaptureButton(request); });
}

void ScreenQueryLoop::showStatus(const std::string& text) {
  if (status_) status_->setText(qtText(text));
}

void ScreenQueryLoop::idle(std::int64_t clockMs) {
  // The wait in real time (the clock may run faster than the machine's),
  // never more than 10 ms: the loop pumps after every wait.
  const double realUs = static_cast<double>(clockMs) * 1000.0 / factor_;
  const long us = static_cast<long>(std::clamp(realUs, 200.0, 10'000.0));
  timespec pause{0, us * 1000};
  ::nanosleep(&pause, nullptr);
}

void ScreenQueryLoop::loopStarted(unsigned activeMask, int periodSeconds, bool allFailed) {
  if (callbacks_.started) callbacks_.started(activeMask, periodSeconds, allFailed);
}

void ScreenQueryLoop::periodDone(const QueryPeriodReport& report) {
  if (callbacks_.period) callbacks_.period(report);
}

void ScreenQueryLoop::captureEnded(const CaptureEndReport& report) {
  if (callbacks_.captureEnded) callbacks_.captureEnded(report);
}

void ScreenQueryLoop::closeScreen() { closeRequested_ = true; }

}  // namespace tarnlux::ui
