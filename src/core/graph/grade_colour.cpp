#include "graph/grade_colour.h"

namespace tarnlux {

namespace {

template <typename T>
GradeColour gradeAgainst(T value, T warning, T fail, BadSide bad) {
  if (bad == BadSide::High) {
    if (value > fail) return GradeColour::Red;
    if (value > warning) return GradeColour::Yellow;
    return GradeColour::Green;
  }
  if (value < fail) return GradeColour::Red;
  if (value < warning) return GradeColour::Yellow;
  return GradeColour::Green;
}

}  // namespace

GradeColour gradeCellColour(double value, double warning, double fail, BadSide bad) {
  return gradeAgainst(value, warning, fail, bad);
}

GradeColour gradeCellColour(std::int32_t value, std::int32_t warning, std::int32_t fail,
                            BadSide bad) {
  return gradeAgainst(value, warning, fail, bad);
}

GradeColour gradeCellColour(std::uint32_t bits, std::uint32_t failMask, std::uint32_t warningMask) {
  if ((bits & failMask) != 0) return GradeColour::Red;
  if ((bits & warningMask) != 0) return GradeColour::Yellow;
  return GradeColour::Green;
}

}  // namespace tarnlux
