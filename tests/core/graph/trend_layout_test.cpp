#include "graph/trend_layout.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>

#include "graph/trend_view.h"
#include "graph/value_rounding.h"

using namespace tarnlux;

namespace {

const TextWidthMeasure kMonospace = [](std::string_view text) {
  return static_cast<int>(text.size()) * 8;
};

// An axis whose end labels are `width` characters wide.
TrendAxisChooser fixedAxis(std::string top, std::string bottom, int* seenCount = nullptr,
                           int* seenSlot = nullptr) {
  return [=](int firstSlot, int count, int) {
    if (seenCount) *seenCount = count;
    if (seenSlot) *seenSlot = firstSlot;
    YAxis axis;
    axis.top = 10;
    axis.bottom = 0;
    axis.labels = {top, "", "", "", bottom};
    return axis;
  };
}

TrendLayoutInput screen(int right, int bottom) {
  TrendLayoutInput in;
  in.area = {0, 0, right, bottom};
  in.charWidth = 8;
  in.charHeight = 16;
  in.periodSeconds = 3;
  in.firstTimeLabelWidth = 64;
  return in;
}

}  // namespace

TEST(TrendLayout, PlotFrameAndHorizontalScale) {
  TrendLayoutInput in = screen(800, 400);
  in.validCount = 100;
  in.writeIndex = 99;
  const TrendLayout l = layoutTrend(in, fixedAxis("10.00", "0.00"), kMonospace);
  EXPECT_EQ(l.plotTop, 40);
  EXPECT_EQ(l.plotBottom, 360);
  EXPECT_EQ(l.plotLeft, 5 * 8 + 8);  // longer end label plus one character
  // 20 steps in a minute at 3 s: (790 - 48) / 20 = 37 pixels a step, and the
  // right edge is pulled in to the last step.
  EXPECT_EQ(l.samplesPerSpan, 20);
  EXPECT_EQ(l.pixelsPerStep, 37);
  EXPECT_EQ(l.usedWidth, 740);
  EXPECT_EQ(l.plotRight, 48 + 740);
  EXPECT_EQ(l.xOfSample(20), l.plotRight);
  EXPECT_DOUBLE_EQ(l.verticalScale, 32.0);
  EXPECT_EQ(l.yOfValue(0), 360);
  EXPECT_EQ(l.yOfValue(10), 40);
  EXPECT_EQ(l.yOfValue(5.0 / 64), 360 - 3);  // 2.5 pixels: half away from zero
}

TEST(TrendLayout, VisibleSamplesPerSpanAndWrapOfTheFirstSlot) {
  TrendLayoutInput in = screen(2000, 600);
  in.validCount = 901;
  in.writeIndex = 5;
  int count = 0;
  int slot = -1;
  TrendLayout l = layoutTrend(in, fixedAxis("1.00", "0.00", &count, &slot), kMonospace);
  EXPECT_EQ(l.visibleCount, 21);
  EXPECT_EQ(count, 21);  // the axis is chosen over the same samples
  EXPECT_EQ(slot, 5 - 21 + 1 + 901);
  EXPECT_EQ(l.firstSlot, slot);
  EXPECT_EQ(l.slotOfSample(20), 5);
  EXPECT_EQ(l.skippedSamples, 880);

  in.spanMinutes = 30;
  l = layoutTrend(in, fixedAxis("1.00", "0.00"), kMonospace);
  EXPECT_EQ(l.visibleCount, 601);
  EXPECT_EQ(samplesInSpan(30, 3), 601);
  EXPECT_EQ(samplesInSpan(1, 12), 6);

  // Fewer samples than the span holds: all of them.
  in.validCount = 7;
  in.writeIndex = 6;
  l = layoutTrend(in, fixedAxis("1.00", "0.00"), kMonospace);
  EXPECT_EQ(l.visibleCount, 7);
  EXPECT_EQ(l.firstSlot, 0);
}

TEST(TrendLayout, NarrowPlotDropsTheOldestSamplesToOnePerColumn) {
  TrendLayoutInput in = screen(400, 300);
  in.spanMinutes = 30;
  in.validCount = 901;
  in.writeIndex = 900;
  const TrendLayout l = layoutTrend(in, fixedAxis("1.00", "0.00"), kMonospace);
  const int width = 400 - 5 - 40;  // right margin, labels and one character
  EXPECT_EQ(l.visibleCount, width);
  EXPECT_EQ(l.firstSlot, 900 - width + 1);
  EXPECT_EQ(l.pixelsPerStep, 1);
  EXPECT_EQ(l.plotRight, 395);  // a span wider than the plot keeps the right edge
  EXPECT_LT(l.xOfSample(l.visibleCount - 1), l.plotRight);

  // Printing shows the samples the screen showed, however wide the paper.
  TrendLayoutInput paper = screen(6000, 4000);
  paper.spanMinutes = 30;
  paper.validCount = 901;
  paper.writeIndex = 900;
  paper.visibleLimit = l.visibleCount;
  EXPECT_EQ(layoutTrend(paper, fixedAxis("1.00", "0.00"), kMonospace).firstSlot, l.firstSlot);
}

TEST(TrendLayout, NarrowAxisLabelsLeaveRoomForTheFirstTimeLabel) {
  TrendLayoutInput in = screen(800, 400);
  in.validCount = 30;
  in.writeIndex = 29;
  in.firstTimeLabelWidth = 8 * 8;
  TrendLayout l = layoutTrend(in, fixedAxis("80", "0"), kMonospace);
  EXPECT_EQ(l.plotLeft, 32);  // half the time label rather than 2 + 1 characters
  EXPECT_EQ(l.plotLeft + l.usedWidth, l.plotRight);
  EXPECT_LE(l.plotRight, 790);

  l = layoutTrend(in, fixedAxis("12345.67", "0.00"), kMonospace);
  EXPECT_EQ(l.plotLeft, 72);
}

TEST(TrendLayout, TimeDivisionsCoverTheSpan) {
  for (int span : {1, 5, 15, 30}) {
    const TimeDivisions d = timeDivisionsFor(span);
    EXPECT_EQ(d.count * d.seconds, span * 60) << span;
  }
  EXPECT_EQ(timeAxisLegend(timeDivisionsFor(1)), "Heure (5 secs/div)");
  EXPECT_EQ(timeAxisLegend(timeDivisionsFor(15)), "Heure (1 min/div)");
  EXPECT_EQ(timeAxisLegend(timeDivisionsFor(30)), "Heure (2 mins/div)");
}

TEST(TrendClipping, SegmentsStopOneRowInsideTheBorderAndResumeWhereTheyReEnter) {
  std::vector<PixelSegment> segments;
  // Plot rows 10 (top) to 110 (bottom); the middle point lies above the plot.
  clipTrendLine({{0, 50}, {10, -50}, {20, 50}, {30, 60}}, 10, 110, segments);
  ASSERT_EQ(segments.size(), 3u);
  EXPECT_EQ(segments[0], (PixelSegment{{0, 50}, {4, 11}}));
  EXPECT_EQ(segments[1], (PixelSegment{{16, 11}, {20, 50}}));
  EXPECT_EQ(segments[2], (PixelSegment{{20, 50}, {30, 60}}));

  segments.clear();
  clipTrendLine({{0, 100}, {10, 130}, {20, 140}, {30, 100}}, 10, 110, segments);
  ASSERT_EQ(segments.size(), 2u);
  EXPECT_EQ(segments[0], (PixelSegment{{0, 100}, {3, 109}}));
  EXPECT_EQ(segments[1], (PixelSegment{{28, 109}, {30, 100}}));

  // A point on the border is outside; a segment across the whole plot shows
  // only its middle part.
  segments.clear();
  clipTrendLine({{0, 10}, {10, 0}, {20, 210}}, 10, 110, segments);
  ASSERT_EQ(segments.size(), 1u);
  EXPECT_EQ(segments[0], (PixelSegment{{11, 11}, {15, 109}}));

  // A reading far off the axis still crosses at the right column.
  segments.clear();
  clipTrendLine({{0, 60}, {10, -kPixelLimit}}, 10, 110, segments);
  ASSERT_EQ(segments.size(), 1u);
  EXPECT_EQ(segments[0].to, (PixelPoint{0, 11}));
}

TEST(TrendLegend, PathNamesAverageAndMeans) {
  TrendLegendInput in;
  in.quantity = 0;
  in.activeMask = 0x5;
  in.averageLine = true;
  in.haveAverageMean = true;
  in.averageMean = 1.23456;
  std::vector<LegendItem> items = trendLegend(in);
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[0].text, "Chem 1");
  EXPECT_EQ(items[0].line, 0);
  EXPECT_EQ(items[1].text, "  Chem 3");
  EXPECT_EQ(items[1].line, 2);
  EXPECT_EQ(items[2].text, "  Flux moy");
  EXPECT_EQ(items[2].line, 4);
  EXPECT_EQ(items[3].text, "  Moy ligne tend(1.235)");

  in.quantity = 5;
  EXPECT_EQ(trendLegend(in)[2].text, "  Debit-vol. standard moyen");

  // The gain trend has neither an average nor a mean.
  in.quantity = 2;
  EXPECT_EQ(trendLegend(in).size(), 2u);
}

TEST(TrendLegend, TheoreticalSoundSpeedOfAGasMeterInTheDisplayedUnit) {
  TrendLegendInput in;
  in.quantity = 1;
  in.activeMask = 0x1;
  in.gasMeter = true;
  in.aga8SoundSpeed = 340.0;
  std::vector<LegendItem> items = trendLegend(in);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[1].text, "  VoS theorique(1115.486)");
  in.metricUnits = true;
  EXPECT_EQ(trendLegend(in)[1].text, "  VoS theorique(340.000)");
  in.aga8SoundSpeed = 1.0;  // not computed
  EXPECT_EQ(trendLegend(in).size(), 1u);
  in.aga8SoundSpeed = 340.0;
  in.gasMeter = false;
  EXPECT_EQ(trendLegend(in).size(), 1u);
  in.gasMeter = true;
  in.quantity = 0;
  EXPECT_EQ(trendLegend(in).size(), 1u);
}

namespace {

std::unique_ptr<TrendStore> storeWith(std::initializer_list<double> values) {
  auto store = std::make_unique<TrendStore>();
  store->setActivePaths(0x1, false);
  TrendPeriod period;
  for (double v : values) {
    period.pathValues[0][0] = v;        // flow velocity
    period.pathValues[3][0] = v + 0.5;  // flow
    store->storePeriod(period, 1, 0);
  }
  return store;
}

YAxis axisOver(const TrendStore& store, const TrendView& view, KeptTrendAxis& kept, bool extending,
               int quantity = 0) {
  const int count = store.validCount();
  return chooseTrendAxis(store, quantity, store.slotOfOldest(0), count, 300, view, kept, extending);
}

}  // namespace

TEST(TrendAxisChoice, AutomaticRangeIsKeptOnlyForTheSameQuantity) {
  TrendView view;
  KeptTrendAxis kept;
  auto store = storeWith({10.0, 12.0});
  YAxis axis = axisOver(*store, view, kept, true);
  EXPECT_DOUBLE_EQ(axis.top, 13.0);
  EXPECT_TRUE(kept.valid);

  // Data narrowing inside the range: kept while extending...
  auto narrower = storeWith({10.5, 12.0});
  EXPECT_DOUBLE_EQ(axisOver(*narrower, view, kept, true).top, 13.0);
  // ...but a manual range in between is not a range to keep.
  view.automaticScale = false;
  view.manualMax = 20;
  view.manualMin = 0;
  EXPECT_DOUBLE_EQ(axisOver(*narrower, view, kept, false).top, 20.0);
  view.automaticScale = true;
  EXPECT_DOUBLE_EQ(axisOver(*narrower, view, kept, false).top, 12.75);
  // Another quantity (11 to 12.5) starts afresh even though it fits the kept range.
  EXPECT_DOUBLE_EQ(axisOver(*narrower, view, kept, false, 3).top, 13.25);
}

TEST(TrendAxisChoice, GainAndSignalUseIntegerAxes) {
  TrendView view;
  KeptTrendAxis kept;
  auto store = storeWith({0.0});
  TrendPeriod period;
  period.pathValues[2][0] = 140;
  store->storePeriod(period, 1, 3);
  view.automaticScale = false;  // ignored for the gain
  EXPECT_DOUBLE_EQ(axisOver(*store, view, kept, false, 2).top, 100);
  view.echoflux = true;
  EXPECT_DOUBLE_EQ(axisOver(*store, view, kept, false, 2).top, 280);
}

TEST(TrendAxisChoice, ReadingsThatAreNotNumbersDoNotStretchTheAxis) {
  TrendView view;
  KeptTrendAxis kept;
  auto store = storeWith({5.0, std::numeric_limits<double>::infinity(), 5.0});
  const YAxis axis = axisOver(*store, view, kept, false);
  EXPECT_DOUBLE_EQ(axis.top, 5.01);
  EXPECT_DOUBLE_EQ(axis.bottom, 4.99);
}
