#pragma once

#include <cstdint>
#include <string_view>

namespace tarnlux {

// The meter's own date and time, as it sends them in its answers: a date text
// "MM.DD.YY" and a time text "HH.MM.SS", both exactly 8 characters. The year is
// 2000 + YY.
struct MeterDateTime {
  int year = 2000;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
  // Seconds since 1 January 1970, counted the meter's way (no time zone).
  std::int64_t stamp = 0;
};

// Checks the pair by the meter's date and time rule and fills `out` (stamp
// included). False leaves `out` unchanged.
bool parseMeterDateTime(std::string_view dateText, std::string_view timeText, MeterDateTime& out);

// Seconds since 1 January 1970 of a valid date and time of the years 2000-2099.
std::int64_t meterTimeStamp(int year, int month, int day, int hour, int minute, int second);

}  // namespace tarnlux
