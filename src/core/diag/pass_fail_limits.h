#pragma once

#include <cstdint>

namespace tarnlux {

// One warning and one fail limit of a graded quantity.
struct IntLimitPair {
  std::int32_t warning = 0;
  std::int32_t fail = 0;
  bool operator==(const IntLimitPair&) const = default;
};

struct RealLimitPair {
  double warning = 0;
  double fail = 0;
  bool operator==(const RealLimitPair&) const = default;
};

// Transit-time limits, in the order the memory block carries them. The member
// initialisers are the liquid-meter defaults.
struct TransitTimeLimits {
  IntLimitPair alc{30, 20};                   // low is bad
  RealLimitPair snr{20.0, 10.0};              // low is bad
  RealLimitPair correlationQuality{0.75, 0.9};  // high is bad
  IntLimitPair adcBuffer{50, 30};             // low is bad
  IntLimitPair accepted{90, 50};              // low is bad
  IntLimitPair envelopeChange{30, 40};        // high is bad
  IntLimitPair nullTrackAlc{30, 20};          // low is bad
  RealLimitPair nullTrackDeltaTime{0.02, 0.05};  // coefficient, high is bad
  RealLimitPair flowVelocityDiff{2.0, 4.0};   // % of the average, high is bad
  RealLimitPair soundSpeedDiff{0.25, 0.5};    // % of the average, high is bad
  bool operator==(const TransitTimeLimits&) const = default;
};

// Echoflux limits, in the order the memory block carries them.
struct EchofluxLimits {
  IntLimitPair signalStrength{250, 100};      // mV, low is bad
  IntLimitPair lowDoppler{125, 1};            // Hz, low is bad
  IntLimitPair lowRangeUpper{1400, 2000};     // Hz, high is bad (low flow range)
  IntLimitPair highRangeUpper{4000, 6000};    // Hz, high is bad (high flow range)
  RealLimitPair liquidLow{30.0, 25.0};        // % deviation, low is bad
  RealLimitPair liquidHigh{50.0, 60.0};       // high is bad
  RealLimitPair slurryLow{10.0, 10.0};
  RealLimitPair slurryHigh{25.0, 30.0};
  RealLimitPair noiseLow{15.0, 10.0};
  RealLimitPair noiseHigh{35.0, 50.0};
  IntLimitPair fftPeak{64, 16};               // low is bad
  RealLimitPair flowVelocity{1.0, 0.001};     // feet per second, low is bad
  bool operator==(const EchofluxLimits&) const = default;
};

struct PassFailLimits {
  TransitTimeLimits transitTime;
  EchofluxLimits echoflux;
  bool operator==(const PassFailLimits&) const = default;
};

// Writes every default into `limits`, the gas column when `gasMeter` is set.
// The correlation-quality pair is written only with extended diagnostics
// (meters without them do not report the quantity); otherwise it keeps its value.
void resetLimitsToDefaults(PassFailLimits& limits, bool gasMeter, bool extendedDiagnostics);

}  // namespace tarnlux
