#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graph/signal_answer_table.h"
#include "graph/signal_answer_trace.h"

using namespace tarnlux;

namespace {

SignalTraceView laidOut(int width, int length, int shift, int resolution, int zoom) {
  SignalTraceView v;
  v.layout({10, 10 + width, length, shift, resolution, zoom}, false);
  return v;
}

}  // namespace

TEST(SignalPlot, LayoutUnderTheFigureTable) {
  const SignalPlotLayout p = signalPlotLayout({0, 0, 800, 600}, 8, 16);
  EXPECT_EQ(p.tableRule, 64);
  EXPECT_EQ(p.top, 64 + 36);
  EXPECT_EQ(p.bottom, 600 - 20);
  EXPECT_EQ(p.left, 12);
  EXPECT_EQ(p.right, 800 - 10);
  EXPECT_EQ(p.middle, 100 + 481 / 2);
  EXPECT_DOUBLE_EQ(p.scale, 480 / 128.0);
}

TEST(SignalShiftsTest, AlignmentOrMeterOffset) {
  SignalAnswer a;
  a.a.alignment = 300;
  a.b.alignment = 294;
  a.figures.waveformOffset = 4;
  SignalShifts s = signalShifts(a, true);
  EXPECT_EQ(s.a, 0);
  EXPECT_EQ(s.b, 6);
  s = signalShifts(a, false);
  EXPECT_EQ(s.a, 4);
  EXPECT_EQ(s.b, 0);
  a.figures.waveformOffset = -5;
  s = signalShifts(a, false);
  EXPECT_EQ(s.a, 0);
  EXPECT_EQ(s.b, 5);
  EXPECT_EQ(s.larger(), 5);
}

TEST(SignalTrace, CorrelatedAlignmentCrossesShareAColumn) {
  SignalAnswer a;
  a.a.alignment = 340;
  a.b.alignment = 333;
  const SignalShifts s = signalShifts(a, true);
  const SignalTraceView v = laidOut(600, 1024, s.larger(), 1, 1);
  int xa = 0;
  int xb = 0;
  // Scrolled so that the alignment points are on the plot.
  SignalTraceView scrolled = v;
  ASSERT_TRUE(scrolled.scroll(SignalScroll::ThumbFinal, 200));
  ASSERT_TRUE(scrolled.visibleColumn(a.a.alignment, s.a, xa));
  ASSERT_TRUE(scrolled.visibleColumn(a.b.alignment, s.b, xb));
  EXPECT_EQ(xa, xb);
}

TEST(SignalTrace, NarrowTracesPullThePlotInAndWideOnesScroll) {
  // 100 samples on 600 pixels: 6 pixels a step at resolution 1.
  SignalTraceView v = laidOut(600, 100, 0, 1, 1);
  EXPECT_EQ(v.pixelsPerStep(), 6);
  EXPECT_EQ(v.plotRight(), 10 + 99 * 6);
  EXPECT_FALSE(v.scrollBarShown());
  EXPECT_EQ(v.firstSample(), 0);
  EXPECT_EQ(v.xOf(99, 0), v.plotRight());

  // Resolution 3 widens each sample three times.
  v = laidOut(600, 100, 0, 3, 1);
  EXPECT_EQ(v.pixelsPerStep(), 2);
  EXPECT_DOUBLE_EQ(v.step(), 6.0);

  // 1,024 samples do not fit: one pixel a sample and a scroll bar.
  v = laidOut(600, 1024, 0, 1, 1);
  EXPECT_TRUE(v.scrollBarShown());
  EXPECT_EQ(v.visibleSamples(), 600);
  EXPECT_EQ(v.scrollRange(), 1023 - 600 + 1);
}

TEST(SignalTrace, EverySampleCanBeScrolledToAndPagesStopAtTheEnd) {
  SignalTraceView v = laidOut(700, 1000, 0, 1, 8);
  ASSERT_TRUE(v.scrollBarShown());
  EXPECT_EQ(v.visibleSamples(), 87);  // 700 / 8
  // Paging right from the start reaches the last position and stays there.
  int pages = 0;
  while (v.scroll(SignalScroll::PageRight)) ++pages;
  EXPECT_EQ(v.scrollPosition(), v.scrollRange());
  EXPECT_GT(pages, 10);
  EXPECT_FALSE(v.scroll(SignalScroll::PageRight));
  EXPECT_FALSE(v.scroll(SignalScroll::LineRight));
  // The last sample lies on the plot.
  int x = 0;
  ASSERT_TRUE(v.visibleColumn(999, 0, x));
  EXPECT_LE(x, v.plotRight());

  // Thumb positions outside the range and thumb tracking are ignored.
  EXPECT_FALSE(v.scroll(SignalScroll::ThumbFinal, 0));
  EXPECT_FALSE(v.scroll(SignalScroll::ThumbFinal, v.scrollRange() + 1));
  EXPECT_FALSE(v.scroll(SignalScroll::ThumbTracking, 5));
  ASSERT_TRUE(v.scroll(SignalScroll::ThumbFinal, 5));
  EXPECT_EQ(v.firstSample(), 4);
  ASSERT_TRUE(v.scroll(SignalScroll::LineLeft));
  EXPECT_EQ(v.firstSample(), 3);
  ASSERT_TRUE(v.scroll(SignalScroll::PageLeft));
  EXPECT_EQ(v.firstSample(), 0);
}

TEST(SignalTrace, ZoomKeepsTheCentreSample) {
  SignalTraceView v;
  const SignalTraceView::Input base{10, 610, 1024, 0, 1, 2};
  v.layout(base, false);
  ASSERT_TRUE(v.scroll(SignalScroll::ThumbFinal, 300));
  const double centre = v.centreSample();
  for (int zoom : {4, 8, 2}) {
    SignalTraceView::Input in = base;
    in.zoom = zoom;
    v.layout(in, true);
    EXPECT_NEAR(v.centreSample(), centre, 1.0) << "zoom " << zoom;
  }
  // New data at the same zoom keeps the scroll position.
  const int first = v.firstSample();
  v.layout({10, 610, 1024, 0, 1, 2}, false);
  EXPECT_EQ(v.firstSample(), first);

  // Zooming out until everything fits resets to the whole trace.
  v.layout({10, 610, 200, 0, 1, 1}, true);
  EXPECT_FALSE(v.scrollBarShown());
  EXPECT_EQ(v.firstSample(), 0);
}

TEST(SignalTrace, PointsStartAtTheFirstVisibleSampleAndAreCutAtTheRightEdge) {
  const SignalPlotLayout plot = signalPlotLayout({0, 0, 400, 300}, 8, 16);
  SignalTraceView v;
  v.layout({plot.left, plot.right, 1000, 0, 1, 1}, false);
  ASSERT_TRUE(v.scroll(SignalScroll::ThumbFinal, 11));
  std::vector<int> samples(1000, 0);
  samples[10] = 64;  // the first visible sample, 64 counts below the zero line
  samples[11] = -64;
  std::vector<PixelPoint> points;
  signalTracePoints(samples, 0, v, plot, points);
  ASSERT_FALSE(points.empty());
  EXPECT_EQ(points[0].x, plot.left);
  EXPECT_EQ(points[0].y, plot.middle + (plot.bottom - plot.top) / 2);
  EXPECT_LT(points[1].y, plot.middle);
  EXPECT_EQ(points.back().x, v.plotRight());

  // A burst shifted right starts that many samples in.
  SignalTraceView narrow;
  narrow.layout({0, 100, 30, 0, 1, 1}, false);  // 3 pixels a step, plot right pulled to 87
  const std::vector<int> flatLine(30, 0);
  const SignalPlotLayout flat{0, 0, 100, 0, 400, 200, 1.0};
  signalTracePoints(flatLine, 5, narrow, flat, points);
  EXPECT_EQ(points.front().x, 15);
  EXPECT_EQ(points.back().x, narrow.plotRight());
  EXPECT_EQ(points.size(), 25u);

  // When the edge falls between two samples the last segment is interpolated.
  SignalTraceView coarse;
  coarse.layout({0, 100, 1000, 0, 3, 1}, false);  // 3 pixels a sample
  std::vector<int> ramp;
  for (int i = 0; i < 1000; ++i) ramp.push_back(2 * i);
  signalTracePoints(ramp, 0, coarse, flat, points);
  ASSERT_EQ(points.size(), 35u);  // samples 0 to 33, then the cut at x 100
  EXPECT_EQ(points[33], (PixelPoint{99, 266}));
  EXPECT_EQ(points.back(), (PixelPoint{100, 267}));
}

TEST(SignalTable, LabelsUnitsAndGradedCells) {
  SignalFigures f;
  f.gainUp = 25;    // below the warning limit 30
  f.gainDown = 15;  // below the fail limit 20
  f.adcFill = 72;
  f.snrUp = 38.6;
  f.snrDown = 12.4;
  f.envelopeChange = 35;
  f.arrivalUp = 112.54;
  f.arrivalDown = 112.456;
  f.timeDifference = 83.3;
  f.nanoseconds = true;
  f.flowVelocity = 2.3456;
  f.soundSpeed = 4862.2;
  f.frequencyCode = 64;
  const TransitTimeLimits limits;
  SignalFigureTable t = signalFigureTable(f, limits, false);
  const auto texts = [&](int row) {
    std::vector<std::string> out;
    for (const auto& c : t[static_cast<std::size_t>(row)]) out.push_back(c.text);
    return out;
  };
  using Row = std::vector<std::string>;
  EXPECT_EQ(texts(0), (Row{"ALC(up)", "25", "ALC(dn)", "15", "Tamp CAN%:", "72"}));
  EXPECT_EQ(texts(1), (Row{"SNR(up)", "39", "SNR(dn)", "12", "Chang. env:", "35%"}));
  EXPECT_EQ(texts(2), (Row{"TN(up) misec:", "112.54", "TN(dn) msec:", "112.46",
                           "T delta nanosec:", "83.300"}));
  EXPECT_EQ(texts(3), (Row{"Vit flux P/S:", "2.346", "ViS P/S:", "4862.200", "Code freq:", "64"}));
  EXPECT_EQ(t[0][1].grade, GradeColour::Yellow);
  EXPECT_EQ(t[0][3].grade, GradeColour::Red);
  EXPECT_EQ(t[0][5].grade, GradeColour::Green);
  EXPECT_EQ(t[1][1].grade, GradeColour::Green);
  EXPECT_EQ(t[1][3].grade, GradeColour::Yellow);
  EXPECT_EQ(t[1][5].grade, GradeColour::Yellow);
  EXPECT_FALSE(t[2][5].grade.has_value());
  EXPECT_FALSE(t[0][0].grade.has_value());

  // An ADC buffer running empty is the fault.
  f.adcFill = 20;
  EXPECT_EQ(signalFigureTable(f, limits, false)[0][5].grade, GradeColour::Red);

  // NullTrack: the time difference is graded, velocities are not shown.
  f.metric = true;
  f.nanoseconds = false;
  f.timeDifference = -0.05;  // microseconds; limits 0.04 and 0.1 at count 64
  t = signalFigureTable(f, limits, true);
  EXPECT_EQ(texts(2)[4], "T delta misec:");
  EXPECT_EQ(texts(3), (Row{"Vit flux M/S:", "-", "ViS M/S:", "-", "Code freq:", "64"}));
  EXPECT_EQ(t[2][5].grade, GradeColour::Yellow);
  const RealLimitPair ns = nullTrackTimeDifferenceLimits(limits, 64, true);
  EXPECT_DOUBLE_EQ(ns.warning, 40.0);
  EXPECT_DOUBLE_EQ(ns.fail, 100.0);
}

TEST(SignalTable, TitlesAndCaption) {
  EXPECT_EQ(signalGraphTitle(false, false, false, 0), "Signal reception liquide-Canal 1");
  EXPECT_EQ(signalGraphTitle(false, true, true, 3), "Signal reception gaz-Chemin 4");
  EXPECT_EQ(signalGraphTitle(true, true, false, 1), "Signal reception NullTrack-Canal 2");
  EXPECT_EQ(signalGraphTitle(true, false, true, 2), "Signal reception NullTrack-Chemin 3");
  EXPECT_EQ(signalScreenTitle(false, "7326L", "3.04.02M"), "Graphe signal");
  EXPECT_EQ(signalScreenTitle(true, "7326L", "3.04.02M"),
            "Graphe signal pour syst op  7326L Version  3.04.02M");
}
