#pragma once

#include <string>

namespace tarnlux {

// Real to pixel, to nearest with halves away from zero (2.5 -> 3, -2.5 -> -3).
// A reading far outside the axis would overflow the drawing arithmetic, so the
// result is held within +-1e9; not-a-number gives 0.
int roundToPixel(double value);

inline constexpr int kPixelLimit = 1'000'000'000;

// The value printed with "%.Nf" (N = decimals) and read back, so an axis end
// is exactly the number its label shows.
double roundToDecimals(double value, int decimals);

// "%.Nf" of the value.
std::string formatFixed(double value, int decimals);

}  // namespace tarnlux
