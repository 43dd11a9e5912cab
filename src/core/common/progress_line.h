#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace tarnlux {

// A status-line text followed by a turning spinner ("|", "/", "---", "\"),
// refreshed at most every 500 ms by every link wait.
class ProgressLine {
 public:
  static constexpr std::size_t kMaxText = 256;
  static constexpr std::int64_t kRefreshMs = 500;

  // `show` puts the text into the owner's status window.
  explicit ProgressLine(std::function<void(const std::string&)> show = {});

  // Sets the leading text and starts the spinner at "|" (the next refresh shows "/").
  void start(const std::string& leadingText);
  // Replaces the whole text as it stands (spinner included) and shows it.
  void setText(const std::string& text);
  const std::string& text() const { return text_; }
  int phase() const { return phase_; }

  // Lets the owner rebuild the leading text before the spinner is appended
  // (the capture screens put a countdown there). Receives the text without
  // its spinner and may change it.
  void setRebuildHook(std::function<void(std::string&)> hook) { rebuild_ = std::move(hook); }

  // Refreshes when 500 ms or more have passed since the last refresh.
  // Returns true when it refreshed.
  bool refresh(std::int64_t nowMs);
  // Refreshes whatever the time (used by the first pass of a wait).
  void forceRefresh(std::int64_t nowMs);

  // Program-wide switch that suppresses every refresh (no progress wanted).
  static void setSuppressed(bool suppressed);
  static bool suppressed();

  static const char* spinnerText(int phase);

 private:
  std::function<void(const std::string&)> show_;
  std::function<void(std::string&)> rebuild_;
  std::string text_;
  int phase_ = 0;
  std::int64_t lastRefreshMs_ = 0;
};

}  // namespace tarnlux
