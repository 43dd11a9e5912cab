#pragma once

#include <cstdint>
#include <initializer_list>

namespace tarnlux {

// The result of every judgement of a reading, ordered from best to worst so
// that merging judgements is taking the largest.
enum class GradeColour : std::uint8_t { Green = 0, Yellow = 1, Red = 2 };

inline constexpr GradeColour worstOf(GradeColour a, GradeColour b) { return a < b ? b : a; }

inline constexpr GradeColour worstOf(std::initializer_list<GradeColour> colours) {
  GradeColour worst = GradeColour::Green;
  for (GradeColour c : colours) worst = worstOf(worst, c);
  return worst;
}

struct RgbColour {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  friend constexpr bool operator==(RgbColour, RgbColour) = default;
};

inline constexpr RgbColour rgbOf(GradeColour colour) {
  switch (colour) {
    case GradeColour::Green:
      return {0, 255, 0};
    case GradeColour::Yellow:
      return {255, 255, 0};
    case GradeColour::Red:
      return {255, 0, 0};
  }
  return {0, 255, 0};
}

// Which side of a limit pair is the problem.
enum class BadSide : std::uint8_t { High, Low };

// Cell colour of a reading against its warning and fail limits. Comparisons are
// strict; integer quantities use the integer form so they compare as integers.
GradeColour gradeCellColour(double value, double warning, double fail, BadSide bad);
GradeColour gradeCellColour(std::int32_t value, std::int32_t warning, std::int32_t fail,
                            BadSide bad);

// Cell colour of a status bit set: any fail bit is red, else any warning bit
// yellow, else green.
GradeColour gradeCellColour(std::uint32_t bits, std::uint32_t failMask, std::uint32_t warningMask);

}  // namespace tarnlux
