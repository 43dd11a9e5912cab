#pragma once

#include <cstdint>
#include <ctime>

namespace tarnlux {

// Local calendar time with milliseconds.
struct LocalTime {
  int year = 1970;    // e.g. 2026
  int month = 1;      // 1..12
  int day = 1;        // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
  int weekday = 4;    // 0 = Sunday
  int yearDay = 0;    // 0..365
  bool daylightSaving = false;
};

// Every time-out and time stamp of the system is read through a Clock, so tests
// and the simulated meter can run long captures on an accelerated clock.
class Clock {
 public:
  virtual ~Clock() = default;
  // Wall clock in milliseconds (seconds x 1000 + milliseconds of the time of day).
  virtual std::int64_t nowMs() const = 0;
  // Local time for the same instant as nowMs().
  virtual LocalTime localNow() const;
};

// The machine's clock.
class SystemClock final : public Clock {
 public:
  std::int64_t nowMs() const override;
};

// A clock that runs `factor` times faster than the machine's, starting at the
// machine's time when it is made. Real waits stay real; time-outs pass sooner.
class ScaledClock final : public Clock {
 public:
  explicit ScaledClock(double factor);
  std::int64_t nowMs() const override;

 private:
  double factor_;
  std::int64_t startReal_;
};

// A clock that only moves when told to (engines tested without any I/O).
class ManualClock final : public Clock {
 public:
  explicit ManualClock(std::int64_t startMs = 1'700'000'000'000) : now_(startMs) {}
  std::int64_t nowMs() const override { return now_; }
  void advance(std::int64_t ms) { now_ += ms; }
  void set(std::int64_t ms) { now_ = ms; }

 private:
  std::int64_t now_;
};

// The process-wide machine clock.
const Clock& systemClock();

// Local time of a wall-clock millisecond value.
LocalTime localTimeOf(std::int64_t ms);

}  // namespace tarnlux
