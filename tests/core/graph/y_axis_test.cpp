#include "graph/y_axis.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

using namespace tarnlux;

namespace {

YAxis axisFromTo(double top, double bottom) {
  YAxis axis;
  axis.top = top;
  axis.bottom = bottom;
  return axis;
}

std::array<std::string, 5> labels(std::string a, std::string b, std::string c, std::string d,
                                  std::string e) {
  return {a, b, c, d, e};
}

}  // namespace

TEST(RealAxis, ConstantReadingsGiveAnAxisTwoHundredthsWideCentredOnThem) {
  const YAxis axis = automaticRealAxis(12.5, 12.5);
  EXPECT_DOUBLE_EQ(axis.top, 12.51);
  EXPECT_DOUBLE_EQ(axis.bottom, 12.49);
  EXPECT_EQ(axis.labels, labels("12.51", "12.50", "12.50", "12.50", "12.49"));
}

TEST(RealAxis, HalfTheSpanGoesAboveAndBelowEachEndRoundedToHundredths) {
  YAxis axis = automaticRealAxis(10.0, 12.0);
  EXPECT_DOUBLE_EQ(axis.top, 13.0);
  EXPECT_DOUBLE_EQ(axis.bottom, 9.0);
  EXPECT_EQ(axis.labels, labels("13.00", "12.00", "11.00", "10.00", "9.00"));

  // A span narrower than the minimum is widened before the halves are added.
  axis = automaticRealAxis(10.004, 10.006);
  EXPECT_DOUBLE_EQ(axis.top, 10.02);
  EXPECT_DOUBLE_EQ(axis.bottom, 9.99);

  axis = automaticRealAxis(-3.0, -1.0);
  EXPECT_DOUBLE_EQ(axis.top, 0.0);
  EXPECT_DOUBLE_EQ(axis.bottom, -4.0);
  EXPECT_EQ(axis.labels[2], "-2.00");
}

TEST(RealAxis, QuarterLabelsAreRoundedEachOnItsOwn) {
  // The middle, 10.025, is not a whole hundredth: each label is rounded from
  // the exact values, not from the rounded middle.
  const YAxis axis = manualRealAxis(10.05, 10.0);
  EXPECT_EQ(axis.labels, labels("10.05", "10.04", "10.03", "10.01", "10.00"));
}

TEST(RealAxis, HugeReadingsStillGiveAnAxisWithHeight) {
  const YAxis axis = automaticRealAxis(1e17, 1e17);
  EXPECT_GT(axis.top, axis.bottom);
}

TEST(RealAxis, ManualRangeIsTheUsersRoundedToHundredths) {
  const YAxis axis = manualRealAxis(10.004, 9.5);
  EXPECT_DOUBLE_EQ(axis.top, 10.0);
  EXPECT_DOUBLE_EQ(axis.bottom, 9.5);
  EXPECT_EQ(axis.labels[2], "9.75");
}

TEST(KeepingTheRange, DataLeavingOrTouchingTheBottomAlwaysRescales) {
  const YAxis axis = axisFromTo(3.0, 0.0);
  for (bool extending : {false, true}) {
    EXPECT_FALSE(keepsRealAxis(axis, 1.0, 3.01, 100, extending));  // above the top
    EXPECT_FALSE(keepsRealAxis(axis, 0.0, 2.0, 100, extending));   // on the bottom
    EXPECT_FALSE(keepsRealAxis(axis, -0.5, 2.0, 100, extending));
    EXPECT_TRUE(keepsRealAxis(axis, 1.0, 3.0, 100, extending));  // the top itself is inside
  }
}

TEST(KeepingTheRange, ReadingsRisingSlowlyInsideTheAxisKeepIt) {
  const YAxis axis = automaticRealAxis(10.0, 10.1);  // 9.95 .. 10.15
  EXPECT_TRUE(keepsRealAxis(axis, 10.0, 10.12, 2000, true));
  EXPECT_TRUE(keepsRealAxis(axis, 10.0, 10.15, 2000, true));
  EXPECT_FALSE(keepsRealAxis(axis, 10.0, 10.16, 2000, true));
}

TEST(KeepingTheRange, WhileExtendingAFreshRangeMovingAnEndByAThirdReplacesIt) {
  const YAxis axis = axisFromTo(3.0, 0.0);
  // Fresh range 0..2 moves the top down by exactly a third: kept.
  EXPECT_TRUE(keepsRealAxis(axis, 0.5, 1.5, 100, true));
  // Fresh top 1.97 moves it down by more: replaced.
  EXPECT_FALSE(keepsRealAxis(axis, 0.5, 1.48, 100, true));
  // Fresh range 1..3 moves the bottom up by exactly a third: kept; 1.03.. is more.
  EXPECT_TRUE(keepsRealAxis(axis, 1.5, 2.5, 100, true));
  EXPECT_FALSE(keepsRealAxis(axis, 1.52, 2.5, 100, true));
  // Not extending (first picture, print), data inside the axis keeps it whatever the fit.
  EXPECT_TRUE(keepsRealAxis(axis, 0.5, 1.48, 100, false));
  EXPECT_TRUE(keepsRealAxis(axis, 1.52, 2.5, 100, false));
}

TEST(KeepingTheRange, AMinimumWithinHalfAPixelOfTheBottomRescalesWhileExtending) {
  const YAxis axis = axisFromTo(3.0, 0.0);
  EXPECT_FALSE(keepsRealAxis(axis, 0.004, 2.5, 100, true));  // 0.4 pixel up
  EXPECT_TRUE(keepsRealAxis(axis, 0.005, 2.5, 100, true));   // half a pixel up
  EXPECT_TRUE(keepsRealAxis(axis, 0.004, 2.5, 100, false));
}

TEST(IntegerAxis, GainIsAlwaysZeroToHundred) {
  const YAxis axis = gainLevelAxis();
  EXPECT_DOUBLE_EQ(axis.top, 100);
  EXPECT_DOUBLE_EQ(axis.bottom, 0);
  EXPECT_EQ(axis.labels, labels("100", "75", "50", "25", "0"));
}

TEST(IntegerAxis, SignalIsTwiceTheLargestSampleAtLeastEighty) {
  EXPECT_EQ(signalLevelAxis(30).labels, labels("80", "60", "40", "20", "0"));
  EXPECT_EQ(signalLevelAxis(0).labels, labels("80", "60", "40", "20", "0"));
  const YAxis axis = signalLevelAxis(123);
  EXPECT_DOUBLE_EQ(axis.top, 246);
  EXPECT_EQ(axis.labels, labels("246", "184", "123", "61", "0"));
  // The largest 32-bit reading doubles without overflowing.
  EXPECT_DOUBLE_EQ(signalLevelAxis(2147483647).top, 4294967294.0);
}

TEST(ReportChartAxis, SpanIsAWholeNumberOfGrainsAroundTheRoundedMiddle) {
  // Raw bottom is the minimum less a tenth of the span: 9.96 .. 10.4, 11 grains.
  YAxis axis = reportChartAxis(10.4, 10.0, false);
  EXPECT_EQ(axis.labels, labels("10.40", "10.29", "10.18", "10.07", "9.96"));
  // A raw span of at most one grain becomes two grains.
  axis = reportChartAxis(5.01, 5.0, false);
  EXPECT_NEAR(axis.top - axis.bottom, 0.08, 1e-9);
}

TEST(ReportChartAxis, SoundSpeedDataInsideTheBandUsesTheBand) {
  const YAxis axis = reportChartAxis(340.2, 340.0, true);
  EXPECT_EQ(axis.labels, labels("340.54", "340.32", "340.10", "339.88", "339.66"));
  // Spread beyond the band: the data decides.
  const YAxis wide = reportChartAxis(345.0, 335.0, true);
  EXPECT_EQ(wide.labels[0], "345.00");
}

TEST(ReportChartAxis, LargerNumbersUseCoarserGrainsAndFewerDecimals) {
  YAxis axis = reportChartAxis(1500, 1400, false);
  EXPECT_EQ(axis.labels, labels("1500.0", "1472.5", "1445.0", "1417.5", "1390.0"));
  // Hundredths would carry the top to 1000.00: tenths are used instead.
  axis = reportChartAxis(999.99, 999.9, false);
  EXPECT_EQ(axis.labels[0], "1000.3");
  EXPECT_EQ(axis.labels[4], "999.5");
  axis = reportChartAxis(25000, 20000, false);
  EXPECT_EQ(axis.labels[0], "25000");
  EXPECT_EQ(axis.labels[4], "19500");
}

TEST(ReportChartAxis, ChartsWithoutData) {
  EXPECT_EQ(emptyReportChartAxis(false).labels, labels("5", "4", "3", "2", "1"));
  EXPECT_EQ(emptyReportChartAxis(true).labels, labels("2", "1", "0", "-1", "-2"));
}
