#include "diag/grading.h"

#include <bit>
#include <cmath>

#include "diag/status_codes.h"
#include "link/meter_facts.h"

namespace tarnlux {

namespace {

template <typename T>
GradeColour twoSided(T value, T lowFail, T lowWarning, T highFail, T highWarning) {
  if (value < lowFail || (value < lowWarning && value <= highFail)) {
    return gradeCellColour(value, lowWarning, lowFail, BadSide::Low);
  }
  return gradeCellColour(value, highWarning, highFail, BadSide::High);
}

GradeColour judgeTwoSided(double value, const TwoSidedLimits& l) {
  return twoSided(value, l.lowFail, l.lowWarning, l.highFail, l.highWarning);
}

}  // namespace

const char* gradeLegendText(GradeColour grade) {
  switch (grade) {
    case GradeColour::Green:
      return "Vert - OK";
    case GradeColour::Yellow:
      return "Jaune - Avertiss";
    case GradeColour::Red:
      return "Rouge - Verif req";
  }
  return "Vert - OK";
}

const char* gradeWord(GradeColour grade) {
  switch (grade) {
    case GradeColour::Green:
      return "OK";
    case GradeColour::Yellow:
      return "Attention";
    case GradeColour::Red:
      return "Echec";
  }
  return "OK";
}

GradeColour gradeStatusWord(std::uint32_t statusWord, bool echofluxMode) {
  constexpr std::uint32_t kFailBits = (1u << 2) | (1u << 4);
  constexpr std::uint32_t kWarningBits =
      (1u << 0) | (1u << 1) | (1u << 5) | (1u << 6) | (1u << 7) | (1u << 8);
  if ((statusWord & kFailBits) != kFailBits) return GradeColour::Red;
  const std::uint32_t clear = ~statusWord & kWarningBits;
  if (clear == 0) return GradeColour::Green;
  if (echofluxMode && clear == (1u << 1)) return GradeColour::Green;
  return GradeColour::Yellow;
}

GradeColour gradeValue(double value, double failLimit, double warningLimit, BadSide direction) {
  return gradeCellColour(value, warningLimit, failLimit, direction);
}

GradeColour gradeValue(std::int32_t value, std::int32_t failLimit, std::int32_t warningLimit,
                       BadSide direction) {
  return gradeCellColour(value, warningLimit, failLimit, direction);
}

BadSide twoSidedSide(double value, double lowFail, double lowWarning, double highFail) {
  return (value < lowFail || (value < lowWarning && value <= highFail)) ? BadSide::Low
                                                                        : BadSide::High;
}

GradeColour gradeTwoSided(double value, double lowFail, double lowWarning, double highFail,
                          double highWarning) {
  return twoSided(value, lowFail, lowWarning, highFail, highWarning);
}

GradeColour gradeTwoSided(std::int32_t value, std::int32_t lowFail, std::int32_t lowWarning,
                          std::int32_t highFail, std::int32_t highWarning) {
  return twoSided(value, lowFail, lowWarning, highFail, highWarning);
}

void ColumnTally::addSample(double value) {
  if (integer) {
    integerSum += static_cast<std::int64_t>(value);
  } else {
    realSum += value;
  }
  if (samples == 0 || value < minimum) minimum = value;
  if (samples == 0 || value > maximum) maximum = value;
  ++samples;
}

void ColumnTally::countGrade(GradeColour grade) {
  if (grade == GradeColour::Red) {
    ++failCount;
  } else if (grade == GradeColour::Yellow) {
    ++warningCount;
  }
}

double ColumnTally::average() const {
  if (samples == 0) return 0;
  if (integer) return static_cast<double>(integerSum / samples);
  return realSum / samples;
}

void tallySample(double gradedValue, double failLimit, double warningLimit, bool integerQuantity,
                 BadSide direction, double sampleValue, ColumnTally& tally) {
  // Integer quantities compare as integers: every figure cut to its whole part.
  const GradeColour grade = integerQuantity
                                ? gradeCellColour(std::trunc(gradedValue), std::trunc(warningLimit),
                                                  std::trunc(failLimit), direction)
                                : gradeCellColour(gradedValue, warningLimit, failLimit, direction);
  tally.countGrade(grade);
  tally.addSample(sampleValue);
}

double velocityDivisor(double average, bool metricVelocity) {
  const double floor = metricVelocity ? kVelocityDivisorFloorMetric : kVelocityDivisorFloorFeet;
  const double magnitude = std::fabs(average);
  return magnitude > floor ? magnitude : floor;
}

double velocityPercentDifference(double value, double average, bool metricVelocity) {
  return std::fabs(value - average) / velocityDivisor(average, metricVelocity) * 100.0;
}

bool flowVelocityTestApplies(double velocity, bool metricVelocity) {
  return std::fabs(velocity) > (metricVelocity ? kFlowTestFloorMetric : kFlowTestFloorFeet);
}

RealLimitPair nullTrackDeltaTimeLimits(const RealLimitPair& coefficients,
                                       std::int32_t referenceCount, bool nanoseconds) {
  const double scale =
      static_cast<double>(referenceCount) / kNullTrackCountScale * (nanoseconds ? 1e9 : 1e6);
  return {coefficients.warning * scale, coefficients.fail * scale};
}

RealLimitPair echofluxVelocityLimits(const EchofluxLimits& limits, bool metricVelocity) {
  if (!metricVelocity) return limits.flowVelocity;
  return {limits.flowVelocity.warning * kMetricPerFootVelocity,
          limits.flowVelocity.fail * kMetricPerFootVelocity};
}

double printedVelocityLimit(double limit) { return (limit > 0 && limit < 0.001) ? 0.001 : limit; }

TwoSidedLimits dopplerLimits(const EchofluxLimits& limits, bool highFlowRange) {
  const IntLimitPair& upper = highFlowRange ? limits.highRangeUpper : limits.lowRangeUpper;
  return {static_cast<double>(limits.lowDoppler.fail),
          static_cast<double>(limits.lowDoppler.warning), static_cast<double>(upper.fail),
          static_cast<double>(upper.warning)};
}

TwoSidedLimits deviationLimits(const EchofluxLimits& limits, bool liquid) {
  const RealLimitPair& low = liquid ? limits.liquidLow : limits.slurryLow;
  const RealLimitPair& high = liquid ? limits.liquidHigh : limits.slurryHigh;
  return {low.fail, low.warning, high.fail, high.warning};
}

TwoSidedLimits noiseLimits(const EchofluxLimits& limits) {
  return {limits.noiseLow.fail, limits.noiseLow.warning, limits.noiseHigh.fail,
          limits.noiseHigh.warning};
}

std::uint32_t noiseLevelPercent(const EchofluxReadings& readings) {
  if (readings.fftPeak == 0) return 0;
  return static_cast<std::uint32_t>(100ull * readings.noiseReading / readings.fftPeak);
}

int pathCount(unsigned pathMask) { return std::popcount(pathMask & 0xFu); }

SiteAverages siteAverages(const MeasurementStore& store, unsigned pathMask) {
  SiteAverages sums;
  const int count = pathCount(pathMask);
  if (count == 0) return sums;
  for (int p = 0; p < kMeasuredPaths; ++p) {
    if ((pathMask >> p & 1u) == 0) continue;
    const PathReadings& r = store.paths[static_cast<std::size_t>(p)];
    sums.flow += r.flow;
    sums.flowVelocity += r.flowVelocity;
    sums.soundSpeed += r.soundSpeed;
  }
  return {sums.flow / count, sums.flowVelocity / count, sums.soundSpeed / count};
}

GradeColour judgeTransitTimePath(const MeasurementStore& store, int path, unsigned activeMask,
                                 const PassFailLimits& limits, const GradingContext& context) {
  if (path < 0 || path >= kMeasuredPaths) return GradeColour::Green;
  const PathReadings& r = store.paths[static_cast<std::size_t>(path)];
  const TransitTimeLimits& l = limits.transitTime;
  GradeColour worst = GradeColour::Green;
  // The first Red ends the evaluation.
  auto merge = [&worst](GradeColour grade) {
    worst = worstOf(worst, grade);
    return worst == GradeColour::Red;
  };

  if (merge(gradeStatusWord(r.statusWord, false))) return worst;
  if (merge(gradeValue(r.alcUp, l.alc.fail, l.alc.warning, BadSide::Low))) return worst;
  if (merge(gradeValue(r.alcDown, l.alc.fail, l.alc.warning, BadSide::Low))) return worst;
  if (!isMeasuring(r, context.extendedDiagnostics)) return GradeColour::Red;
  if (merge(gradeValue(r.snrUp, l.snr.fail, l.snr.warning, BadSide::Low))) return worst;
  if (merge(gradeValue(r.snrDown, l.snr.fail, l.snr.warning, BadSide::Low))) return worst;
  if (context.extendedDiagnostics &&
      merge(gradeValue(r.correlationQuality, l.correlationQuality.fail,
                       l.correlationQuality.warning, BadSide::High))) {
    return worst;
  }
  if (merge(gradeValue(r.adcBuffer, l.adcBuffer.fail, l.adcBuffer.warning, BadSide::Low))) {
    return worst;
  }
  if (merge(gradeValue(r.accepted, l.accepted.fail, l.accepted.warning, BadSide::Low))) {
    return worst;
  }
  if (merge(gradeValue(r.envelopeChange, l.envelopeChange.fail, l.envelopeChange.warning,
                       BadSide::High))) {
    return worst;
  }

  if (context.multiPath && pathCount(activeMask) > 1) {
    const SiteAverages averages = siteAverages(store, activeMask);
    const bool metric = context.metricVelocity;
    if (flowVelocityTestApplies(r.flowVelocity, metric) &&
        merge(gradeValue(velocityPercentDifference(r.flowVelocity, averages.flowVelocity, metric),
                         l.flowVelocityDiff.fail, l.flowVelocityDiff.warning, BadSide::High))) {
      return worst;
    }
    if (merge(gradeValue(velocityPercentDifference(r.soundSpeed, averages.soundSpeed, metric),
                         l.soundSpeedDiff.fail, l.soundSpeedDiff.warning, BadSide::High))) {
      return worst;
    }
  }

  if (meter_flags::isNullTrackChannel(context.meterFlags, path)) {
    if (merge(gradeValue(r.nullTrackAlc, l.nullTrackAlc.fail, l.nullTrackAlc.warning,
                         BadSide::Low))) {
      return worst;
    }
    const RealLimitPair deltaLimits =
        nullTrackDeltaTimeLimits(l.nullTrackDeltaTime, r.referenceCount, store.site.nanoseconds);
    // An offset is as bad in either direction: the magnitude is graded.
    merge(gradeValue(std::fabs(r.nullTrackDeltaTime), deltaLimits.fail, deltaLimits.warning,
                     BadSide::High));
  }
  return worst;
}

GradeColour judgeTransitTimePage(const MeasurementStore& store, unsigned activeMask,
                                 const PassFailLimits& limits, const GradingContext& context) {
  GradeColour worst = GradeColour::Green;
  for (int p = 0; p < kMeasuredPaths && worst != GradeColour::Red; ++p) {
    if ((activeMask >> p & 1u) == 0) continue;
    worst = worstOf(worst, judgeTransitTimePath(store, p, activeMask, limits, context));
  }
  return worst;
}

GradeColour judgeEchofluxChannel(const MeasurementStore& store, int channel,
                                 const PassFailLimits& limits, const GradingContext& context) {
  if (channel < 0 || channel >= kMeasuredPaths) return GradeColour::Green;
  const PathReadings& path = store.paths[static_cast<std::size_t>(channel)];
  const EchofluxReadings& r = store.echoflux[static_cast<std::size_t>(channel)];
  const EchofluxLimits& l = limits.echoflux;
  GradeColour worst = GradeColour::Green;
  auto merge = [&worst](GradeColour grade) {
    worst = worstOf(worst, grade);
    return worst == GradeColour::Red;
  };

  if (merge(gradeStatusWord(path.statusWord, true))) return worst;
  if (merge(gradeValue(r.signalStrength, l.signalStrength.fail, l.signalStrength.warning,
                       BadSide::Low))) {
    return worst;
  }
  if (merge(judgeTwoSided(static_cast<double>(r.dopplerFrequency),
                          dopplerLimits(l, r.highFlowRange)))) {
    return worst;
  }
  if (merge(judgeTwoSided(r.deviation, deviationLimits(l, r.liquid())))) return worst;
  if (r.fftPeak == 0) return GradeColour::Red;
  if (merge(judgeTwoSided(static_cast<double>(noiseLevelPercent(r)), noiseLimits(l)))) {
    return worst;
  }
  if (merge(gradeValue(static_cast<std::int64_t>(r.fftPeak) > INT32_MAX
                           ? INT32_MAX
                           : static_cast<std::int32_t>(r.fftPeak),
                       l.fftPeak.fail, l.fftPeak.warning, BadSide::Low))) {
    return worst;
  }
  const RealLimitPair velocity = echofluxVelocityLimits(l, context.metricVelocity);
  merge(gradeValue(path.flowVelocity, velocity.fail, velocity.warning, BadSide::Low));
  return worst;
}

}  // namespace tarnlux
