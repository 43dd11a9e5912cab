#include "graph/trend_layout.h"

#include <algorithm>
#include <cstdio>

#include "graph/graph_colours.h"
#include "graph/value_rounding.h"

namespace tarnlux {

int TrendLayout::yOfValue(double value) const {
  return plotBottom - roundToPixel((value - axis.bottom) * verticalScale);
}

int samplesInSpan(int spanMinutes, int periodSeconds) {
  return std::max(1, spanMinutes * 60 / std::max(1, periodSeconds)) + 1;
}

TrendLayout layoutTrend(const TrendLayoutInput& in, const TrendAxisChooser& chooseAxis,
                        const TextWidthMeasure& measure) {
  const int w = std::max(1, in.charWidth);
  const int h = std::max(1, in.charHeight);
  const int period = std::max(1, in.periodSeconds);
  const int span = std::max(1, in.spanMinutes);
  TrendLayout l;
  l.plotBottom = in.area.bottom - roundToPixel(2.5 * h);
  l.plotTop = in.area.top + roundToPixel(2.5 * h);
  l.plotRight = in.area.right - static_cast<int>(in.area.right * 0.0125);
  l.samplesPerSpan = std::max(1, span * 60 / period);

  auto slotOf = [&](int visible) {
    int slot = (in.writeIndex - visible + 1) % kTrendRingSize;
    return slot < 0 ? slot + kTrendRingSize : slot;
  };

  int visible = std::min(l.samplesPerSpan + 1, std::max(0, in.validCount));
  if (in.visibleLimit > 0) visible = std::min(visible, in.visibleLimit);
  l.axis = chooseAxis(slotOf(visible), visible, l.plotBottom - l.plotTop);
  l.plotLeft = in.area.left + std::max(measure(l.axis.labels[0]), measure(l.axis.labels[4])) + w;

  // At most one sample per pixel column: the oldest ones go.
  const int plotWidth = l.plotRight - l.plotLeft;
  visible = std::clamp(visible, 0, std::max(0, plotWidth));
  l.visibleCount = visible;
  l.firstSlot = slotOf(visible);
  l.skippedSamples = std::max(0, in.validCount - visible);

  // Room for the first time label, centred under the plot's left edge. This is
  // settled before the horizontal scale so the trace still ends at the plot's right.
  if (l.samplesPerSpan < plotWidth - 1) {
    const int wanted = in.area.left + in.firstTimeLabelWidth / 2;
    if (wanted > l.plotLeft && l.plotRight - wanted >= l.samplesPerSpan) l.plotLeft = wanted;
  }

  l.pixelsPerStep = std::max(1, (l.plotRight - l.plotLeft) / l.samplesPerSpan);
  l.usedWidth = span * 60 * l.pixelsPerStep / period;
  if (l.plotLeft + l.usedWidth < l.plotRight) l.plotRight = l.plotLeft + l.usedWidth;

  const double axisSpan = l.axis.top - l.axis.bottom;
  l.verticalScale = axisSpan > 0 ? (l.plotBottom - l.plotTop) / axisSpan : 0.0;
  return l;
}

TimeDivisions timeDivisionsFor(int spanMinutes) {
  switch (spanMinutes) {
    case 1:
      return {12, 5, 5, "secs/div"};
    case 5:
      return {20, 15, 15, "secs/div"};
    case 15:
      return {15, 60, 1, "min/div"};
    case 30:
      return {15, 120, 2, "mins/div"};
    default: {
      // Not a span the lists offer; twelve even divisions keep the axis readable.
      const int seconds = std::max(1, spanMinutes * 5);
      return {12, seconds, seconds, "secs/div"};
    }
  }
}

std::string timeAxisLegend(const TimeDivisions& divisions) {
  return "Heure (" + std::to_string(divisions.unitNumber) + " " + std::string(divisions.unit) + ")";
}

void clipTrendLine(const std::vector<PixelPoint>& points, int plotTop, int plotBottom,
                   std::vector<PixelSegment>& segments) {
  const int innerTop = plotTop + 1;
  const int innerBottom = plotBottom - 1;
  if (innerTop > innerBottom) return;
  auto inside = [&](PixelPoint p) { return p.y > plotTop && p.y < plotBottom; };
  auto rowBeyond = [&](PixelPoint p) { return p.y <= plotTop ? innerTop : innerBottom; };
  for (std::size_t i = 1; i < points.size(); ++i) {
    const PixelPoint a = points[i - 1];
    const PixelPoint b = points[i];
    auto atRow = [&](int row) {
      const double t = static_cast<double>(row - a.y) / static_cast<double>(b.y - a.y);
      return PixelPoint{a.x + roundToPixel((b.x - a.x) * t), row};
    };
    const bool aIn = inside(a);
    const bool bIn = inside(b);
    if (aIn && bIn) {
      segments.push_back({a, b});
    } else if (aIn) {
      segments.push_back({a, atRow(rowBeyond(b))});
    } else if (bIn) {
      segments.push_back({atRow(rowBeyond(a)), b});
    } else if ((a.y <= plotTop) != (b.y <= plotTop)) {
      // From above the plot to below it (or back): only the part across it shows.
      segments.push_back({atRow(rowBeyond(a)), atRow(rowBeyond(b))});
    }
  }
}

std::string_view velocityUnit(bool metricUnits) { return metricUnits ? "M/SEC" : "PI/SEC"; }

std::string trendAxisTitle(int quantity, bool metricUnits, bool echoflux,
                           std::string_view flowUnit) {
  switch (static_cast<TrendQuantity>(quantity)) {
    case TrendQuantity::FlowVelocity:
      return "Vitesse flux (" + std::string(velocityUnit(metricUnits)) + ")";
    case TrendQuantity::SoundSpeed:
      return "Vit. sonique (" + std::string(velocityUnit(metricUnits)) + ")";
    case TrendQuantity::GainOrSignal:
      return echoflux ? "Signal(mV)" : "ALC";
    case TrendQuantity::Flow:
      return "Debit (" + std::string(flowUnit) + ")";
    case TrendQuantity::SoundSpeedDifference:
      return "Difference pourcentage vit. sonique";
    case TrendQuantity::StandardVolumeFlow:
      return "Debit-volume standard";
  }
  return {};
}

std::vector<LegendItem> trendLegend(const TrendLegendInput& in) {
  std::vector<LegendItem> items;
  for (int p = 0; p < kTrendPaths; ++p) {
    if ((in.activeMask & (1u << p)) == 0) continue;
    items.push_back(
        {(items.empty() ? "" : "  ") + std::string("Chem ") + std::to_string(p + 1), p});
  }
  if (in.quantity < 0 || in.quantity >= kTrendQuantities) return items;
  const auto quantity = static_cast<TrendQuantity>(in.quantity);
  if (quantity == TrendQuantity::GainOrSignal) return items;

  if (in.averageLine) {
    static constexpr const char* kAverageNames[kTrendQuantities] = {
        "Flux moy", "ViS moy", "", "Debit moy", "Diff % moy", "Debit-vol. standard moyen"};
    items.push_back({"  " + std::string(kAverageNames[in.quantity]), kAverageLine});
  }
  char text[400];
  if (in.haveAverageMean) {
    std::snprintf(text, sizeof text, "  %s(%.3f)", "Moy ligne tend", in.averageMean);
    items.push_back({text, -1});
  }
  const bool soundSpeed =
      quantity == TrendQuantity::SoundSpeed || quantity == TrendQuantity::SoundSpeedDifference;
  if (soundSpeed && in.gasMeter && in.aga8SoundSpeed > 1) {
    const double shown = in.metricUnits ? in.aga8SoundSpeed : in.aga8SoundSpeed / 0.3048;
    std::snprintf(text, sizeof text, "  %s(%.3f)", "VoS theorique", shown);
    items.push_back({text, -1});
  }
  return items;
}

}  // namespace tarnlux
