#include "graph/value_rounding.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <optional>
#include <string>

#include "graph/time_of_day.h"

using namespace tarnlux;

TEST(ValueRounding, PixelsRoundHalvesAwayFromZero) {
  EXPECT_EQ(roundToPixel(2.5), 3);
  EXPECT_EQ(roundToPixel(-2.5), -3);
  EXPECT_EQ(roundToPixel(0.5), 1);
  EXPECT_EQ(roundToPixel(-0.5), -1);
  EXPECT_EQ(roundToPixel(2.4999), 2);
  EXPECT_EQ(roundToPixel(-2.4999), -2);
  // Just under a half must not be pushed over by an add-a-half-and-floor.
  EXPECT_EQ(roundToPixel(0.49999999999999994), 0);
  EXPECT_EQ(roundToPixel(-7.0), -7);
}

TEST(ValueRounding, PixelsOfWildValuesStayDrawable) {
  EXPECT_EQ(roundToPixel(1e300), kPixelLimit);
  EXPECT_EQ(roundToPixel(-1e300), -kPixelLimit);
  EXPECT_EQ(roundToPixel(std::numeric_limits<double>::infinity()), kPixelLimit);
  EXPECT_EQ(roundToPixel(std::nan("")), 0);
}

TEST(ValueRounding, DecimalsFollowThePrintedText) {
  EXPECT_DOUBLE_EQ(roundToDecimals(10.016, 2), 10.02);
  EXPECT_DOUBLE_EQ(roundToDecimals(9.994, 2), 9.99);
  // 2.675 is held as 2.67499..., so its text and its rounded value are 2.67.
  EXPECT_DOUBLE_EQ(roundToDecimals(2.675, 2), 2.67);
  EXPECT_DOUBLE_EQ(roundToDecimals(-1.236, 2), -1.24);
  EXPECT_EQ(formatFixed(1445.0, 1), "1445.0");
}

TEST(TimeOfDay, HoursWithoutLeadingZeroThenTwoDigitMinutesAndSeconds) {
  EXPECT_EQ(secondsOfDayText(0), "0:00:00");
  EXPECT_EQ(secondsOfDayText(9 * 3600 + 5), "9:00:05");
  EXPECT_EQ(secondsOfDayText(23 * 3600 + 59 * 60 + 59), "23:59:59");
  // Past midnight the hour rolls over to 0.
  EXPECT_EQ(secondsOfDayText(86'400 + 5 * 60 + 7), "0:05:07");
  EXPECT_EQ(secondsOfDayText(-1), "23:59:59");
}

namespace {

// Runs the body with the process time zone set to `zone`, then puts it back.
class ZoneScope {
 public:
  explicit ZoneScope(const char* zone) {
    if (const char* old = std::getenv("TZ")) saved_ = old;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~ZoneScope() {
    if (saved_)
      setenv("TZ", saved_->c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }

 private:
  std::optional<std::string> saved_;
};

}  // namespace

TEST(TimeOfDay, AppliesTheLocalZoneAndDaylightSaving) {
  {
    ZoneScope utc("UTC0");
    EXPECT_EQ(timeOfDayText(1'700'000'000), "22:13:20");  // 14 Nov 2023
    EXPECT_EQ(timeOfDayText(1'700'006'400), "0:00:00");
  }
  ZoneScope paris("CET-1CEST,M3.5.0,M10.5.0/3");
  EXPECT_EQ(timeOfDayText(1'700'000'000), "23:13:20");  // winter: one hour ahead
  EXPECT_EQ(timeOfDayText(1'700'003'600), "0:13:20");   // and past local midnight
  EXPECT_EQ(timeOfDayText(1'688'169'600), "2:00:00");   // 1 Jul 2023: two hours ahead
}
