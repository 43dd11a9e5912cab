#include "graph/y_axis.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "graph/value_rounding.h"

namespace tarnlux {

namespace {

// Ends so close that two-decimal rounding (or the precision of a huge value)
// made them equal would give a zero-height axis and a division by zero.
void keepEndsApart(YAxis& axis) {
  if (axis.top > axis.bottom) return;
  const double pad = std::max(std::fabs(axis.top) * 1e-9, kMinimumRealSpan / 2);
  axis.top += pad;
  axis.bottom -= pad;
}

void fillRealLabels(YAxis& axis) {
  const double middle = (axis.top + axis.bottom) / 2;
  axis.middle = roundToDecimals(middle, 2);
  axis.upperQuarter = roundToDecimals((axis.top + middle) / 2, 2);
  axis.lowerQuarter = roundToDecimals((axis.bottom + middle) / 2, 2);
  for (int i = 0; i < 5; ++i) axis.labels[i] = formatFixed(axis.valueOfLabel(i), 2);
}

YAxis integerAxis(std::int64_t top) {
  YAxis axis;
  const std::int64_t values[5] = {top, top * 3 / 4, top / 2, top / 4, 0};
  axis.top = static_cast<double>(values[0]);
  axis.upperQuarter = static_cast<double>(values[1]);
  axis.middle = static_cast<double>(values[2]);
  axis.lowerQuarter = static_cast<double>(values[3]);
  axis.bottom = 0.0;
  for (int i = 0; i < 5; ++i) axis.labels[i] = std::to_string(values[i]);
  return axis;
}

}  // namespace

YAxis automaticRealAxis(double dataMin, double dataMax) {
  double span = dataMax - dataMin;
  if (!(span >= kMinimumRealSpan)) span = kMinimumRealSpan;
  const double half = span / 2;
  YAxis axis;
  axis.top = roundToDecimals(dataMax + half, 2);
  axis.bottom = roundToDecimals(dataMin - half, 2);
  keepEndsApart(axis);
  fillRealLabels(axis);
  return axis;
}

YAxis manualRealAxis(double userMax, double userMin) {
  YAxis axis;
  axis.top = roundToDecimals(userMax, 2);
  axis.bottom = roundToDecimals(userMin, 2);
  keepEndsApart(axis);
  fillRealLabels(axis);
  return axis;
}

bool keepsRealAxis(const YAxis& current, double dataMin, double dataMax, double pixelsPerUnit,
                   bool extending) {
  if (!(dataMax <= current.top) || !(dataMin > current.bottom)) return false;
  if (!extending) return true;
  if ((dataMin - current.bottom) * pixelsPerUnit < 0.5) return false;
  const double span = current.top - current.bottom;
  const YAxis fresh = automaticRealAxis(dataMin, dataMax);
  if ((current.top - fresh.top) / span >= kKeepRangeRatio) return false;
  if ((fresh.bottom - current.bottom) / span >= kKeepRangeRatio) return false;
  return true;
}

YAxis gainLevelAxis() { return integerAxis(100); }

YAxis signalLevelAxis(std::int64_t largestSample) {
  return integerAxis(std::max<std::int64_t>(largestSample * 2, 80));
}

YAxis reportChartAxis(double dataMax, double dataMin, bool soundSpeedChart) {
  const double dataSpan = dataMax - dataMin;
  double rawTop = dataMax;
  double rawBottom = dataMin - dataSpan / 10;
  if (soundSpeedChart && dataMax > 0 && dataMin > 0) {
    const double mean = (dataMax + dataMin) / 2;
    const double band = mean * 0.00125;
    if (dataMax <= mean + band && dataMin - dataSpan / 10 >= mean - band) {
      rawTop = mean + band;
      rawBottom = mean - band;
    }
  }

  // The grain grows with the size of the numbers: hundredths below 1,000,
  // tenths below 10,000, units above.
  struct Grain {
    double limit;
    double step;
    int decimals;
  };
  constexpr Grain grains[] = {{1'000.0, 0.04, 2}, {10'000.0, 0.4, 1}, {0.0, 4.0, 0}};
  const double magnitude = std::max(std::fabs(rawTop), std::fabs(rawBottom));
  const double rawSpan = rawTop - rawBottom;
  YAxis axis;
  int decimals = 0;
  for (const Grain& grain : grains) {
    const bool last = grain.limit == 0.0;
    if (!last && !(magnitude < grain.limit)) continue;
    double span = 2 * grain.step;
    // A span that is a whole number of steps must not gain a step from rounding noise.
    if (rawSpan > grain.step) span = std::ceil(rawSpan / grain.step - 1e-9) * grain.step;
    const double middle = roundToDecimals((rawTop + rawBottom) / 2, grain.decimals);
    axis.top = middle + span / 2;
    axis.bottom = middle - span / 2;
    axis.middle = middle;
    decimals = grain.decimals;
    if (last || (std::fabs(axis.top) < grain.limit && std::fabs(axis.bottom) < grain.limit)) break;
  }
  axis.upperQuarter = (axis.top + axis.middle) / 2;
  axis.lowerQuarter = (axis.bottom + axis.middle) / 2;
  for (int i = 0; i < 5; ++i) axis.labels[i] = formatFixed(axis.valueOfLabel(i), decimals);
  return axis;
}

YAxis emptyReportChartAxis(bool deviationChart) {
  YAxis axis;
  const double values[5] = {5, 4, 3, 2, 1};
  const double deviation[5] = {2, 1, 0, -1, -2};
  const double* v = deviationChart ? deviation : values;
  axis.top = v[0];
  axis.upperQuarter = v[1];
  axis.middle = v[2];
  axis.lowerQuarter = v[3];
  axis.bottom = v[4];
  for (int i = 0; i < 5; ++i) axis.labels[i] = formatFixed(v[i], 0);
  return axis;
}

}  // namespace tarnlux
