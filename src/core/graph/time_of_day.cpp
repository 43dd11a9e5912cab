#include "graph/time_of_day.h"

#include <cstdio>
#include <ctime>

namespace tarnlux {

namespace {
constexpr std::int64_t kSecondsPerDay = 86'400;
}

std::string secondsOfDayText(std::int64_t secondsOfDay) {
  std::int64_t s = secondsOfDay % kSecondsPerDay;
  if (s < 0) s += kSecondsPerDay;
  char text[16];
  std::snprintf(text, sizeof text, "%d:%02d:%02d", static_cast<int>(s / 3600),
                static_cast<int>(s / 60 % 60), static_cast<int>(s % 60));
  return text;
}

std::string timeOfDayText(std::int64_t unixSeconds) {
  const std::time_t t = static_cast<std::time_t>(unixSeconds);
  std::tm local{};
  if (localtime_r(&t, &local) == nullptr) return secondsOfDayText(unixSeconds);
  return secondsOfDayText(local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec);
}

}  // namespace tarnlux
