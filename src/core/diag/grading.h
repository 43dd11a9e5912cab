#pragma once

#include <cstdint>

#include "diag/measurement_store.h"
#include "diag/pass_fail_limits.h"
#include "graph/grade_colour.h"

namespace tarnlux {

// The judgement of readings against PassFailLimits, shared by every screen,
// page and file that grades a reading. Merging is worstOf (grade_colour.h).

// How a judgement is named: the legend of the diagnostic page (under the
// heading "Code etat:") and the word of the Echoflux tables.
inline constexpr const char* kGradeLegendHeading = "Code etat:";
const char* gradeLegendText(GradeColour grade);
const char* gradeWord(GradeColour grade);

// Status word: bit 2 or 4 clear is a failure; any of bits 0, 1, 5, 6, 7, 8
// clear a warning, except that the Echoflux mode tolerates bit 1 alone. Bits 3
// and 9 never count.
GradeColour gradeStatusWord(std::uint32_t statusWord, bool echofluxMode);

// One-sided limit, strict comparisons: with `BadSide::High` a value above the
// fail limit is Red, above the warning limit Yellow; with `BadSide::Low` the
// same below. Integer quantities compare as integers.
GradeColour gradeValue(double value, double failLimit, double warningLimit, BadSide direction);
GradeColour gradeValue(std::int32_t value, std::int32_t failLimit, std::int32_t warningLimit,
                       BadSide direction);

// The side of a two-sided limit that judges `value`: the low side when value <
// low fail, or when value < low warning and value <= high fail; else the high side.
BadSide twoSidedSide(double value, double lowFail, double lowWarning, double highFail);

// Two-sided limit: the chosen side judged by gradeValue.
GradeColour gradeTwoSided(double value, double lowFail, double lowWarning, double highFail,
                          double highWarning);
GradeColour gradeTwoSided(std::int32_t value, std::int32_t lowFail, std::int32_t lowWarning,
                          std::int32_t highFail, std::int32_t highWarning);

// Statistics of one capture column. Integer columns hold whole numbers in the
// real fields and sum exactly in 64 bits, so a long capture cannot overflow.
struct ColumnTally {
  bool integer = false;
  std::int64_t integerSum = 0;
  double realSum = 0;
  double minimum = 0;
  double maximum = 0;
  std::int32_t warningCount = 0;
  std::int32_t failCount = 0;
  std::int32_t samples = 0;

  // Sum, minimum and maximum; the first sample sets both extremes.
  void addSample(double value);
  // Red counts a failure, Yellow a warning.
  void countGrade(GradeColour grade);
  // Sum / samples, integer division for integer columns; 0 without samples.
  double average() const;
};

// Counts the graded value against the pair (fail test first, then warning
// test) and adds the sample value, which may differ from the graded value, to
// the statistics.
void tallySample(double gradedValue, double failLimit, double warningLimit, bool integerQuantity,
                 BadSide direction, double sampleValue, ColumnTally& tally);

// Velocities: the floors are held in feet per second and divided by 3.28 when
// the meter shows metres per second.
inline constexpr double kMetricPerFootVelocity = 0.3048780487804878;  // 1 / 3.28
inline constexpr double kVelocityDivisorFloorFeet = 0.1;
inline constexpr double kVelocityDivisorFloorMetric = 0.030487804878048783;
inline constexpr double kFlowTestFloorFeet = 1.0;
inline constexpr double kFlowTestFloorMetric = 0.3048780487804878;
inline constexpr double kNullTrackCountScale = 32'000'000.0;

// |average| when it exceeds the floor, the floor otherwise, so a site at rest
// never divides by zero.
double velocityDivisor(double average, bool metricVelocity);
// |value - average| / divisor x 100.
double velocityPercentDifference(double value, double average, bool metricVelocity);
// Paths at or below 1 ft/s (either direction) are not judged on flow difference.
bool flowVelocityTestApplies(double velocity, bool metricVelocity);

// The NullTrack delta-time limits: the stored coefficients x the path's
// reference count / 32,000,000 give a time in seconds (the count is the
// meter's frequency code, periods of its 32 MHz reference); the limits come
// back in the unit the readings are shown in, nanoseconds or microseconds, so
// liquid and gas meters are held to the same physical time.
RealLimitPair nullTrackDeltaTimeLimits(const RealLimitPair& coefficients,
                                       std::int32_t referenceCount, bool nanoseconds);

// The Echoflux flow velocity limits in the meter's velocity units.
RealLimitPair echofluxVelocityLimits(const EchofluxLimits& limits, bool metricVelocity);
// How a converted velocity limit is printed: a value above 0 and below 0.001
// would print as 0.000, so it prints as 0.001.
double printedVelocityLimit(double limit);

// The Echoflux two-sided limit sets.
struct TwoSidedLimits {
  double lowFail = 0;
  double lowWarning = 0;
  double highFail = 0;
  double highWarning = 0;
};
TwoSidedLimits dopplerLimits(const EchofluxLimits& limits, bool highFlowRange);
TwoSidedLimits deviationLimits(const EchofluxLimits& limits, bool liquid);
TwoSidedLimits noiseLimits(const EchofluxLimits& limits);
// 100 x noise reading / FFT peak, in unsigned integers; the caller has
// checked that the peak is not 0.
std::uint32_t noiseLevelPercent(const EchofluxReadings& readings);

// What the page judgements read about the meter.
struct GradingContext {
  std::uint32_t meterFlags = 0;  // NullTrack enabled: bit 8 + path
  bool multiPath = false;
  bool extendedDiagnostics = false;
  bool metricVelocity = false;
};

int pathCount(unsigned pathMask);

struct SiteAverages {
  double flow = 0;
  double flowVelocity = 0;
  double soundSpeed = 0;
};
// Means over the paths of the mask (bit n = path n); zeros for an empty mask.
SiteAverages siteAverages(const MeasurementStore& store, unsigned pathMask);

// A transit-time path against every limit that applies to it, worst first
// ending the evaluation: status word, ALC, search state, SNR, correlation
// quality (extended diagnostics), ADC buffer, % accepted, envelope change;
// velocity differences on a multipath site with more than one active path;
// NullTrack ALC and delta time when the path has NullTrack enabled.
GradeColour judgeTransitTimePath(const MeasurementStore& store, int path, unsigned activeMask,
                                 const PassFailLimits& limits, const GradingContext& context);
// Every active path merged: the colour of the diagnostic page's indicator.
GradeColour judgeTransitTimePage(const MeasurementStore& store, unsigned activeMask,
                                 const PassFailLimits& limits, const GradingContext& context);
// An Echoflux channel: status word, signal strength, Doppler frequency, %
// deviation, noise level (an FFT peak of 0 is a failure), FFT peak, flow velocity.
GradeColour judgeEchofluxChannel(const MeasurementStore& store, int channel,
                                 const PassFailLimits& limits, const GradingContext& context);

}  // namespace tarnlux
