#include "graph/value_rounding.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tarnlux {

int roundToPixel(double value) {
  if (std::isnan(value)) return 0;
  if (value >= kPixelLimit) return kPixelLimit;
  if (value <= -kPixelLimit) return -kPixelLimit;
  return static_cast<int>(std::lround(value));
}

std::string formatFixed(double value, int decimals) {
  // Large enough for the widest double with a few decimals.
  char text[400];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

double roundToDecimals(double value, int decimals) {
  return std::strtod(formatFixed(value, decimals).c_str(), nullptr);
}

}  // namespace tarnlux
