#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace tarnlux {

// A vertical axis: its two ends, the three values between them that carry a
// label, and the five label texts from top to bottom.
struct YAxis {
  double top = 0.0;
  double upperQuarter = 0.0;
  double middle = 0.0;
  double lowerQuarter = 0.0;
  double bottom = 0.0;
  std::array<std::string, 5> labels;

  double valueOfLabel(int i) const {
    const double values[5] = {top, upperQuarter, middle, lowerQuarter, bottom};
    return values[i];
  }
};

// Narrowest automatic range, and the smallest gap a manual range must leave.
inline constexpr double kMinimumRealSpan = 0.02;

// Share of the current span by which a fresh range must move an end before an
// extended picture gives up its range.
inline constexpr double kKeepRangeRatio = 0.33333334;

// Automatic range of real readings: half the data span (at least 0.02) above
// the maximum and below the minimum, each end to two decimals.
YAxis automaticRealAxis(double dataMin, double dataMax);

// The user's range, each end to two decimals.
YAxis manualRealAxis(double userMax, double userMin);

// Whether an automatic range already on the screen stays for data spanning
// dataMin..dataMax. `pixelsPerUnit` is the current vertical scale. While the
// picture is being extended by new samples the range also gives way when the
// data has shrunk well inside it, or lies within half a pixel of its bottom.
bool keepsRealAxis(const YAxis& current, double dataMin, double dataMax, double pixelsPerUnit,
                   bool extending);

// Gain level in per cent: always 0 to 100.
YAxis gainLevelAxis();

// Signal in millivolts: 0 to twice the largest sample, at least 80.
YAxis signalLevelAxis(std::int64_t largestSample);

// Axis of a report chart from its data maximum and minimum. The sound-speed
// chart keeps a narrow band round its mean when the data fits in it.
YAxis reportChartAxis(double dataMax, double dataMin, bool soundSpeedChart);

// Axis of a report chart without data: 5 to 1, or 2 to -2 for a deviation chart.
YAxis emptyReportChartAxis(bool deviationChart);

}  // namespace tarnlux
