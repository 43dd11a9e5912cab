#pragma once

#include "graph/grade_colour.h"

namespace tarnlux {

inline constexpr RgbColour kGraphBackground{255, 255, 255};
inline constexpr RgbColour kGraphInk{0, 0, 0};

// Trend lines 0 to 3 are paths 1 to 4; line 4 is the average of the paths.
inline constexpr int kAverageLine = 4;

inline constexpr RgbColour trendLineColour(int line) {
  switch (line) {
    case 0:
      return {255, 0, 0};
    case 1:
      return {0, 0, 255};
    case 2:
      return {0, 255, 0};
    case 3:
      return {0, 255, 255};
    case kAverageLine:
      return {255, 0, 255};
    default:
      return kGraphInk;
  }
}

}  // namespace tarnlux
