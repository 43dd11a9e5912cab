#include "link/meter_time.h"

#include <gtest/gtest.h>

using namespace tarnlux;

TEST(MeterDateTime, ValidPairsGiveSecondsSince1970) {
  MeterDateTime t;
  ASSERT_TRUE(parseMeterDateTime("02.29.24", "23.59.59", t));
  EXPECT_EQ(t.year, 2024);
  EXPECT_EQ(t.month, 2);
  EXPECT_EQ(t.day, 29);
  EXPECT_EQ(t.stamp, 1709251199);
  ASSERT_TRUE(parseMeterDateTime("01.01.00", "00.00.00", t));
  EXPECT_EQ(t.stamp, 946684800);
  ASSERT_TRUE(parseMeterDateTime("12.31.99", "23.59.59", t));
  EXPECT_EQ(t.stamp, 4102444799);
  ASSERT_TRUE(parseMeterDateTime("03.01.23", "00.00.00", t));
  EXPECT_EQ(t.stamp, 1677628800);
  EXPECT_TRUE(parseMeterDateTime("04.30.24", "12.00.00", t));
}

TEST(MeterDateTime, InvalidPairsAreRefusedAndLeaveTheResultAlone) {
  MeterDateTime t;
  t.stamp = 42;
  const char* dates[] = {"02.29.23", "04.31.24", "06.31.24", "09.31.24", "11.31.24", "02.30.24",
                         "13.01.24", "00.10.24", "01.00.24", "01.32.24", "1.01.24", "01.01.2024",
                         "01-01-24", "0a.01.24", ""};
  for (const char* date : dates) EXPECT_FALSE(parseMeterDateTime(date, "10.00.00", t)) << date;
  const char* times[] = {"24.00.00", "23.60.00", "23.59.60", "23:59:59", "9.59.59", "23.59.5 "};
  for (const char* time : times) EXPECT_FALSE(parseMeterDateTime("01.01.24", time, t)) << time;
  EXPECT_EQ(t.stamp, 42);
}
