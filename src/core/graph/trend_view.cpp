#include "graph/trend_view.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tarnlux {

YAxis chooseTrendAxis(const TrendStore& store, int quantity, int firstSlot, int count,
                      int plotHeight, const TrendView& view, KeptTrendAxis& kept, bool extending) {
  if (quantity == kTrendIntegerQuantity) {
    kept.valid = false;
    if (!view.echoflux) return gainLevelAxis();
    std::int64_t largest = 0;
    for (int p = 0; p < kTrendPaths; ++p) {
      if (!store.isLineActive(p)) continue;
      for (int k = 0; k < count; ++k) {
        largest = std::max<std::int64_t>(largest,
                                         store.integerSample(p, (firstSlot + k) % kTrendRingSize));
      }
    }
    return signalLevelAxis(largest);
  }
  if (!view.automaticScale) {
    kept.valid = false;
    return manualRealAxis(view.manualMax, view.manualMin);
  }

  double low = std::numeric_limits<double>::infinity();
  double high = -std::numeric_limits<double>::infinity();
  for (int line = 0; line < kTrendLines; ++line) {
    if (!store.isLineActive(line)) continue;
    for (int k = 0; k < count; ++k) {
      const double v = store.sample(quantity, line, (firstSlot + k) % kTrendRingSize);
      // A reading the meter could not give must not stretch the axis to infinity.
      if (!std::isfinite(v)) continue;
      low = std::min(low, v);
      high = std::max(high, v);
    }
  }
  if (low > high) low = high = 0.0;

  if (kept.valid && kept.quantity == quantity) {
    const double pixelsPerUnit = plotHeight / (kept.axis.top - kept.axis.bottom);
    if (keepsRealAxis(kept.axis, low, high, pixelsPerUnit, extending)) return kept.axis;
  }
  kept = {true, quantity, automaticRealAxis(low, high)};
  return kept.axis;
}

}  // namespace tarnlux
