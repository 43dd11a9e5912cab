#include "link/meter_time.h"

namespace tarnlux {
namespace {

// Two decimal digits at `pos`, or -1.
int twoDigits(std::string_view text, std::size_t pos) {
  const char a = text[pos];
  const char b = text[pos + 1];
  if (a < '0' || a > '9' || b < '0' || b > '9') return -1;
  return (a - '0') * 10 + (b - '0');
}

// "NN.NN.NN" split into its three numbers.
bool threeGroups(std::string_view text, int& first, int& second, int& third) {
  if (text.size() != 8 || text[2] != '.' || text[5] != '.') return false;
  first = twoDigits(text, 0);
  second = twoDigits(text, 3);
  third = twoDigits(text, 6);
  return first >= 0 && second >= 0 && third >= 0;
}

// The meter counts every year divisible by 4 as a leap year; within 1970-2099
// that agrees with the calendar.
bool meterLeapYear(int year) { return year % 4 == 0; }

int daysInMonth(int month, int year) {
  switch (month) {
    case 2:
      return meterLeapYear(year) ? 29 : 28;
    case 4:
    case 6:
    case 9:
    case 11:
      return 30;
    default:
      return 31;
  }
}

}  // namespace

std::int64_t meterTimeStamp(int year, int month, int day, int hour, int minute, int second) {
  std::int64_t days = 0;
  for (int y = 1970; y < year; ++y) days += meterLeapYear(y) ? 366 : 365;
  for (int m = 1; m < month; ++m) days += daysInMonth(m, year);
  days += day - 1;
  return days * 86400 + static_cast<std::int64_t>(hour) * 3600 + minute * 60 + second;
}

bool parseMeterDateTime(std::string_view dateText, std::string_view timeText, MeterDateTime& out) {
  int month = 0, day = 0, yy = 0, hour = 0, minute = 0, second = 0;
  if (!threeGroups(dateText, month, day, yy) || !threeGroups(timeText, hour, minute, second)) {
    return false;
  }
  const int year = 2000 + yy;
  if (month < 1 || month > 12 || day < 1 || day > daysInMonth(month, year)) return false;
  if (hour > 23 || minute > 59 || second > 59) return false;
  out.year = year;
  out.month = month;
  out.day = day;
  out.hour = hour;
  out.minute = minute;
  out.second = second;
  out.stamp = meterTimeStamp(year, month, day, hour, minute, second);
  return true;
}

}  // namespace tarnlux
