#include "common/clock.h"

#include <sys/time.h>

namespace tarnlux {

namespace {
std::int64_t realNowMs() {
  timeval tv{};
  gettimeofday(&tv, nullptr);
  return static_cast<std::int64_t>(tv.tv_sec) * 1000 + tv.tv_usec / 1000;
}
}  // namespace

LocalTime localTimeOf(std::int64_t ms) {
  std::time_t seconds = static_cast<std::time_t>(ms / 1000);
  std::tm parts{};
  localtime_r(&seconds, &parts);
  LocalTime t;
  t.year = parts.tm_year + 1900;
  t.month = parts.tm_mon + 1;
  t.day = parts.tm_mday;
  t.hour = parts.tm_hour;
  t.minute = parts.tm_min;
  t.second = parts.tm_sec;
  t.millisecond = static_cast<int>(ms % 1000);
  t.weekday = parts.tm_wday;
  t.yearDay = parts.tm_yday;
  t.daylightSaving = parts.tm_isdst > 0;
  return t;
}

LocalTime Clock::localNow() const { return localTimeOf(nowMs()); }

std::int64_t SystemClock::nowMs() const { return realNowMs(); }

ScaledClock::ScaledClock(double factor) : factor_(factor), startReal_(realNowMs()) {}

std::int64_t ScaledClock::nowMs() const {
  const std::int64_t real = realNowMs() - startReal_;
  return startReal_ + static_cast<std::int64_t>(static_cast<double>(real) * factor_);
}

const Clock& systemClock() {
  static const SystemClock clock;
  return clock;
}

}  // namespace tarnlux
