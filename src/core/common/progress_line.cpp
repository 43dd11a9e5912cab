#include "common/progress_line.h"

#include <atomic>

namespace tarnlux {

namespace {
std::atomic<bool> globalSuppress{false};
const char* const kSpinner[4] = {"|", "/", "---", "\\"};
}  // namespace

ProgressLine::ProgressLine(std::function<void(const std::string&)> show) : show_(std::move(show)) {}

const char* ProgressLine::spinnerText(int phase) { return kSpinner[phase & 3]; }

void ProgressLine::start(const std::string& leadingText) {
  text_ = leadingText.substr(0, kMaxText - 4);
  text_ += kSpinner[0];
  phase_ = 1;
  if (show_) show_(text_);
}

void ProgressLine::setText(const std::string& text) {
  text_ = text.substr(0, kMaxText);
  if (show_) show_(text_);
}

bool ProgressLine::refresh(std::int64_t nowMs) {
  if (globalSuppress.load(std::memory_order_relaxed)) return false;
  if (nowMs - lastRefreshMs_ < kRefreshMs) return false;
  forceRefresh(nowMs);
  return true;
}

void ProgressLine::forceRefresh(std::int64_t nowMs) {
  if (globalSuppress.load(std::memory_order_relaxed)) return;
  lastRefreshMs_ = nowMs;
  // The spinner on show is the previous phase's: three characters for "---".
  const std::size_t previous = (phase_ == 3) ? 3 : 1;
  if (text_.size() >= previous) text_.resize(text_.size() - previous);
  if (rebuild_) rebuild_(text_);
  if (text_.size() > kMaxText - 4) text_.resize(kMaxText - 4);
  text_ += kSpinner[phase_];
  if (show_) show_(text_);
  phase_ = (phase_ + 1) & 3;
}

void ProgressLine::setSuppressed(bool suppressed) { globalSuppress.store(suppressed); }
bool ProgressLine::suppressed() { return globalSuppress.load(); }

}  // namespace tarnlux
