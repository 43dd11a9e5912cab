#pragma once

// How the meter's diagnostic readings move from one diagnostic query to the
// next: a slow deterministic wander around each reading's base value, and now
// and then a short excursion to a level a service engineer would call a
// warning or a failure. Everything follows from the seed and the number of
// diagnostic queries a path has answered, so a run repeats exactly.

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <utility>

namespace tarnlux::meter {

// The readings that drift, each on its own course per path.
enum class DriftQuantity {
  Gain,           // ALC, %
  NullTrackGain,  // NullTrack ALC, %
  Snr,            // signal-to-noise ratio
  AdcFill,        // ADC buffer, %
  Accepted,       // % of measurements accepted
  Envelope,       // % envelope change
  Correlation,    // correlation quality
  FlowVelocity,   // relative change of the flow velocity
  SoundSpeed,     // relative change of the sound speed
  DeltaTime,      // relative change of the time difference
  Signal,         // Echoflux signal strength, mV
  Doppler,        // Echoflux Doppler frequency, Hz
  FftPeak,        // Echoflux FFT peak
  Deviation,      // Echoflux % deviation
  NoisePercent,   // Echoflux noise level, % of the FFT peak
  Process,        // temperature, pressure: wander only
};

// Where a reading goes: its base, how far it wanders, and the levels of its
// excursions (equal to the base for a reading that makes none).
struct DriftCourse {
  double base = 0;
  double spread = 0;        // the wander's half-width
  double warningLevel = 0;  // beyond the warning limit, within the fail limit
  double failLevel = 0;     // beyond the fail limit
};

// Diagnostic queries per block; an excursion lasts the middle three of its block.
inline constexpr int kDriftBlock = 6;

class Drift {
 public:
  explicit Drift(std::uint32_t seed) : seed_(seed) {}

  // The reading of `index` at its `sample`-th diagnostic query. Samples 0 and
  // 1 are the base itself; the first block never holds an excursion.
  double value(DriftQuantity quantity, int index, int sample, const DriftCourse& course) const;
  // -1 .. 1, 0 at samples 0 and 1.
  double wander(DriftQuantity quantity, int index, int sample) const;
  // 0 none, 1 at the warning level, 2 at the fail level.
  int excursion(DriftQuantity quantity, int index, int sample) const;

 private:
  std::uint32_t seed_;
};

// The meter's diagnostic bookkeeping: how many diagnostic queries each index
// has answered, the drift, and the units fault.
class DiagnosticState {
 public:
  explicit DiagnosticState(std::uint32_t seed) : drift_(seed) {}

  const Drift& drift() const { return drift_; }
  // Diagnostic queries `index` has answered (after counting the current one).
  int samples(int index) const;
  // Counts a diagnostic query of `index`; true when it is the one after which
  // the units change.
  bool count(int index);
  int queries() const { return queries_; }

  // The units fault: after this many diagnostic queries (0: never) the meter
  // switches between metric and English units.
  void setUnitsChangeAfter(int queries) { unitsChangeAfter_ = queries; }
  bool unitsSwitched() const { return unitsSwitched_; }

  // The value a drifting variable had before the first drift touched it.
  double base(const std::string& name, int index, double current);

 private:
  Drift drift_;
  std::array<int, 16> samples_{};
  int queries_ = 0;
  int unitsChangeAfter_ = 0;
  bool unitsSwitched_ = false;
  std::map<std::pair<std::string, int>, double> bases_;
};

}  // namespace tarnlux::meter
