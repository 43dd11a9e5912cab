#pragma once

#include <atomic>
#include <cstdint>

#include "common/clock.h"

namespace tarnlux::test {

// A clock that moves a fixed step each time it is read, whatever the real time
// between reads. Time-outs then count the passes of the loop that waits, so a
// test measuring "the line was never quiet for 50 ms" or "the spinner turned
// every 500 ms" gives the same answer on an idle machine and a loaded one,
// where a descheduled thread would otherwise see the time jump.
class SteppingClock final : public Clock {
 public:
  explicit SteppingClock(std::int64_t stepMs, std::int64_t startMs = 1'700'000'000'000)
      : step_(stepMs), now_(startMs) {}
  std::int64_t nowMs() const override { return now_.fetch_add(step_) + step_; }
  // The time without moving it.
  std::int64_t peekMs() const { return now_.load(); }

 private:
  std::int64_t step_;
  mutable std::atomic<std::int64_t> now_;
};

// A clock at real speed for its first `realMs` milliseconds, then `factor`
// times faster. Commands on a serial line are paced in real time against a
// send time-out on this clock, so a test that only wants the long answer wait
// to pass quickly lets the command go out first at real speed.
class LateFastClock final : public Clock {
 public:
  LateFastClock(std::int64_t realMs, double factor) : realMs_(realMs), factor_(factor) {}
  std::int64_t nowMs() const override {
    const std::int64_t real = system_.nowMs() - start_;
    if (real <= realMs_) return start_ + real;
    return start_ + realMs_ + static_cast<std::int64_t>(static_cast<double>(real - realMs_) * factor_);
  }

 private:
  SystemClock system_;
  std::int64_t start_ = system_.nowMs();
  std::int64_t realMs_;
  double factor_;
};

}  // namespace tarnlux::test
