#pragma once

#include <string>

#include "graph/trend_store.h"
#include "graph/y_axis.h"

namespace tarnlux {

// How the trend screen wants its quantity shown; the host fills it from its
// controls and the meter facts, the graph reads it when it paints.
struct TrendView {
  int spanMinutes = 1;
  // Manual range of the selected quantity, used when automaticScale is clear
  // (the host clears it only for a complete, valid manual range).
  bool automaticScale = true;
  double manualMax = 0.0;
  double manualMin = 0.0;
  bool metricUnits = false;
  bool echoflux = false;
  bool gasMeter = false;
  std::string flowUnit;         // as the meter names it
  double aga8SoundSpeed = 0.0;  // metres per second; known when above 1
  // Clear when the meter cannot supply the quantity: it is then not drawn.
  bool quantityDrawable = true;
};

// The automatic range on the screen, kept while new samples fit it.
struct KeptTrendAxis {
  bool valid = false;
  int quantity = -1;
  YAxis axis;
};

// Y axis of a trend of `quantity` over `count` samples from ring slot
// `firstSlot`, on a plot `plotHeight` pixels high. An automatic range is kept
// in `kept` from one picture to the next; a range chosen for another quantity
// or by hand is never kept.
YAxis chooseTrendAxis(const TrendStore& store, int quantity, int firstSlot, int count,
                      int plotHeight, const TrendView& view, KeptTrendAxis& kept, bool extending);

}  // namespace tarnlux
