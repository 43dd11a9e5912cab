#include "drift.h"

#include <cmath>
#include <numbers>

namespace tarnlux::meter {

namespace {

// A well-mixed 64-bit value of its inputs (splitmix64 steps).
std::uint64_t mix(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

std::uint64_t hash(std::uint32_t seed, DriftQuantity quantity, int index, std::uint64_t salt) {
  std::uint64_t h = mix(seed);
  h = mix(h ^ static_cast<std::uint64_t>(quantity));
  h = mix(h ^ static_cast<std::uint64_t>(index));
  return mix(h ^ salt);
}

// 0 .. 1 from a hash.
double unit(std::uint64_t h) { return static_cast<double>(h >> 11) / 9007199254740992.0; }

// One excursion in this many blocks, for each reading: with fifteen readings
// on a path, a pass now and then shows one out of limits.
constexpr double kExcursionChance = 0.1;
// Of the excursions, this share reaches the fail level.
constexpr double kFailShare = 0.35;

}  // namespace

double Drift::wander(DriftQuantity quantity, int index, int sample) const {
  // The first answer of a path (at connect, its identification) shows the
  // base values.
  if (sample <= 1) return 0;
  // Two sines of their own periods: a slow swell and a quicker ripple.
  const double slow = 18.0 + 24.0 * unit(hash(seed_, quantity, index, 1));
  const double quick = 4.0 + 5.0 * unit(hash(seed_, quantity, index, 2));
  const double sign = unit(hash(seed_, quantity, index, 3)) < 0.5 ? -1.0 : 1.0;
  const double k = sample;
  return sign * (0.7 * std::sin(2 * std::numbers::pi * k / slow) +
                 0.3 * std::sin(2 * std::numbers::pi * k / quick));
}

int Drift::excursion(DriftQuantity quantity, int index, int sample) const {
  const int block = sample / kDriftBlock;
  const int within = sample % kDriftBlock;
  if (block == 0 || within < 2 || within > 4) return 0;
  const std::uint64_t h = hash(seed_, quantity, index, 1000 + static_cast<std::uint64_t>(block));
  if (unit(h) >= kExcursionChance) return 0;
  return unit(mix(h)) < kFailShare ? 2 : 1;
}

double Drift::value(DriftQuantity quantity, int index, int sample, const DriftCourse& c) const {
  const double w = wander(quantity, index, sample);
  switch (excursion(quantity, index, sample)) {
    case 1:
      return c.warningLevel + 0.2 * c.spread * w;
    case 2:
      return c.failLevel + 0.2 * c.spread * w;
    default:
      return c.base + c.spread * w;
  }
}

int DiagnosticState::samples(int index) const {
  return index >= 0 && index < static_cast<int>(samples_.size())
             ? samples_[static_cast<std::size_t>(index)]
             : 0;
}

bool DiagnosticState::count(int index) {
  if (index >= 0 && index < static_cast<int>(samples_.size()))
    ++samples_[static_cast<std::size_t>(index)];
  ++queries_;
  if (unitsChangeAfter_ > 0 && !unitsSwitched_ && queries_ > unitsChangeAfter_) {
    unitsSwitched_ = true;
    return true;
  }
  return false;
}

double DiagnosticState::base(const std::string& name, int index, double current) {
  return bases_.try_emplace({name, index}, current).first->second;
}

}  // namespace tarnlux::meter
