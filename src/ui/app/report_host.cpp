#include "app/report_host.h"

#include <cstdlib>

#include "app/error_box.h"
#include "app/screen_layout.h"

namespace tarnlux::ui {

namespace {

constexpr const char* kAbnormalEnd = "Fin anormale du thread";

}  // namespace

ReportGeneratorHost::ReportGeneratorHost(QWidget* owner)
    : QObject(owner), owner_(owner), abnormalEnd_([] { std::_Exit(0); }) {}

void ReportGeneratorHost::requestOpen() {
  if (window_) {
    window_->raise();
    window_->activateWindow();
    return;
  }
  if (!factory_) return;
  QWidget* window = factory_(currentScreenLayout(owner_), owner_);
  if (window == nullptr) return;
  window->setAttribute(Qt::WA_DeleteOnClose);
  window_ = window;
  window->show();
}

void ReportGeneratorHost::shutdown() {
  if (!window_) return;
  bool ended = true;
  if (auto* generator = dynamic_cast<ReportGeneratorWindow*>(window_.data())) {
    ended = generator->stopWorker(kWorkerStopMs);
  }
  if (!ended) {
    // A worker that does not stop would keep the process alive behind a closed
    // window; the program ends here instead.
    ErrorBox(kAbnormalEnd, -1, nullptr);
    abnormalEnd_();
    return;
  }
  QWidget* window = window_;
  window_ = nullptr;
  delete window;
}

}  // namespace tarnlux::ui
