#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <string_view>

#include "common/clock.h"
#include "common/progress_line.h"

namespace tarnlux {

// What every link operation is given: who may cancel it, where its progress
// shows, whether it reports its own failures, how it reports them, how the
// caller's window stays alive while it waits, and the clock it measures with.
// Core never shows anything itself: the error sink does (a message box with the
// caption "ERR." in the program, a recorder in the tests, stderr in the CLI).
struct OperationContext {
  std::atomic<int>* cancelFlag = nullptr;
  ProgressLine* progress = nullptr;
  bool quiet = false;
  std::function<void(const std::string& text)> errorSink;
  // Told of what went wrong and was mended on the way (a dropped TCP link
  // reopened), so a caller that reports such things can; quiet or not.
  std::function<void(const std::string& text)> noticeSink;
  std::function<void()> pump;
  const Clock* clock = &systemClock();

  bool cancelled() const { return cancelFlag != nullptr && cancelFlag->load() != 0; }
  std::int64_t nowMs() const { return clock->nowMs(); }

  // One pass of a waiting loop: refresh the progress line when due, then pump.
  void tick() const {
    if (progress != nullptr) progress->refresh(clock->nowMs());
    if (pump) pump();
  }

  // Shows an error box unless quiet: message + extras, and the code when it is
  // 0 or more (see errorBoxText).
  void notice(const std::string& text) const {
    if (noticeSink) noticeSink(text);
  }

  void report(std::string_view message, int code = -1, std::string_view extra = {},
              std::string_view extra2 = {}) const;
};

}  // namespace tarnlux
