#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "graph/table_cell.h"
#include "graph/trend_store.h"
#include "graph/y_axis.h"

namespace tarnlux {

// The outer drawing area of a picture. `right` and `bottom` are coordinates
// of the device (the window's client width and height, or the page's).
struct GraphArea {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

struct TrendLayoutInput {
  GraphArea area;
  int charWidth = 8;    // width of "0" in the plot font
  int charHeight = 16;  // height of "0"
  int spanMinutes = 1;
  int periodSeconds = 3;
  int validCount = 0;
  int writeIndex = 0;
  // When printing: the samples the screen showed, so the paper shows the same
  // ones; 0 on the screen.
  int visibleLimit = 0;
  int firstTimeLabelWidth = 0;
};

struct TrendLayout {
  int plotLeft = 0;
  int plotRight = 0;
  int plotTop = 0;
  int plotBottom = 0;
  int visibleCount = 0;    // samples drawn, oldest first
  int firstSlot = 0;       // ring slot of the oldest one drawn
  int skippedSamples = 0;  // valid samples older than the first one drawn
  int samplesPerSpan = 1;  // sample steps the time span holds
  int pixelsPerStep = 1;
  int usedWidth = 0;
  double verticalScale = 0.0;  // pixels per unit
  YAxis axis;

  int xOfSample(int k) const { return plotLeft + k * pixelsPerStep; }
  // Screen rows grow downwards.
  int yOfValue(double value) const;
  int slotOfSample(int k) const { return (firstSlot + k) % kTrendRingSize; }
};

// Chooses the Y axis over the samples that will be visible: `count` samples
// starting at ring slot `firstSlot`, on a plot `plotHeight` pixels high.
using TrendAxisChooser = std::function<YAxis(int firstSlot, int count, int plotHeight)>;

// Plot frame, visible samples, axis and horizontal scale of a trend picture.
TrendLayout layoutTrend(const TrendLayoutInput& in, const TrendAxisChooser& chooseAxis,
                        const TextWidthMeasure& measure);

// Samples one time span holds at a sampling period (both ends included).
int samplesInSpan(int spanMinutes, int periodSeconds);

// Time axis divisions for a span of 1, 5, 15 or 30 minutes.
struct TimeDivisions {
  int count = 12;
  int seconds = 5;
  int unitNumber = 5;  // the number the axis legend shows
  std::string_view unit = "secs/div";
};
TimeDivisions timeDivisionsFor(int spanMinutes);
// "Heure (5 secs/div)".
std::string timeAxisLegend(const TimeDivisions& divisions);

// The part of a trend polyline that lies strictly between the plot's top and
// bottom rows. A segment that leaves is cut one row inside the border at the
// x where it crosses; a later one that re-enters starts there.
struct PixelPoint {
  int x = 0;
  int y = 0;
  friend bool operator==(PixelPoint, PixelPoint) = default;
};
struct PixelSegment {
  PixelPoint from;
  PixelPoint to;
  friend bool operator==(const PixelSegment&, const PixelSegment&) = default;
};
void clipTrendLine(const std::vector<PixelPoint>& points, int plotTop, int plotBottom,
                   std::vector<PixelSegment>& segments);

// "M/SEC" or "PI/SEC".
std::string_view velocityUnit(bool metricUnits);

// The title over a trend of quantity 0 to 5.
std::string trendAxisTitle(int quantity, bool metricUnits, bool echoflux,
                           std::string_view flowUnit);

// One coloured piece of the legend line; line 0-3 are paths, 4 the average
// line, -1 plain ink.
struct LegendItem {
  std::string text;
  int line = -1;
};

struct TrendLegendInput {
  int quantity = 0;
  unsigned activeMask = 0;
  bool averageLine = false;  // the average line is drawn
  double averageMean = 0.0;  // mean of the average line since the query began
  bool haveAverageMean = false;
  bool gasMeter = false;
  bool metricUnits = false;
  double aga8SoundSpeed = 0.0;  // metres per second; known when above 1
};

std::vector<LegendItem> trendLegend(const TrendLegendInput& in);

}  // namespace tarnlux
