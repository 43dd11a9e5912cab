#pragma once

#include <array>
#include <cstdint>

namespace tarnlux {

// The quantities sampled for the trend lines; the value is the trend data index.
enum class TrendQuantity : int {
  FlowVelocity = 0,
  SoundSpeed = 1,
  GainOrSignal = 2,  // gain level in per cent; signal in mV on Echoflux channels
  Flow = 3,
  SoundSpeedDifference = 4,  // per cent from the AGA8 sound speed
  StandardVolumeFlow = 5,
};

inline constexpr int kTrendQuantities = 6;
inline constexpr int kTrendPaths = 4;
inline constexpr int kTrendLines = 5;  // paths 1 to 4, then the average line
inline constexpr int kTrendRingSize = 901;
inline constexpr int kTrendIntegerQuantity = static_cast<int>(TrendQuantity::GainOrSignal);

// What the query loop hands over after the last active path of a period.
struct TrendPeriod {
  // Current value per quantity and path (index 0 = path 1); the integer
  // quantity is held here as a real and stored rounded.
  std::array<std::array<double, kTrendPaths>, kTrendQuantities> pathValues{};
  // Current average per quantity (used on multi-path meters with more than one
  // active path), and the paths that went into it.
  std::array<double, kTrendQuantities> averages{};
  unsigned averagePathMask = 0;
  // Latest status word per path: flow quantities of a path that is not
  // measuring flow are held, not interpolated.
  std::array<std::uint32_t, kTrendPaths> statusWords{};
};

// Trend sample store: for each quantity five rings (paths and average) of 901
// samples, sharing one write index, valid count, start time and period. It
// is one fixed block: make it once (it is large; keep it off the stack) and
// reuse it, nothing is allocated per sample.
class TrendStore {
 public:
  // Empties the store for a new query (samples, sums, start time).
  void clear();

  // Active paths (bits 0 to 3) and whether the meter is a multi-path meter;
  // the average line exists on a multi-path meter with more than one path.
  void setActivePaths(unsigned mask, bool multiPathMeter);
  // Sampling period in seconds (3, 6 or 12).
  void setPeriod(int seconds) { periodSeconds_ = seconds > 0 ? seconds : 1; }

  // Adds `d` samples (d >= 1; a late period is made up by interpolation) at
  // time `nowSeconds` (seconds since 1970).
  void storePeriod(const TrendPeriod& period, int d, std::int64_t nowSeconds);

  unsigned activeMask() const { return activeMask_; }
  int activeCount() const { return activeCount_; }
  int firstActivePath() const { return firstActive_; }  // 0..3, -1 with none
  int lastActivePath() const { return lastActive_; }
  bool hasAverageLine() const { return multiPath_ && activeCount_ > 1; }
  bool isLineActive(int line) const;

  int periodSeconds() const { return periodSeconds_; }
  int writeIndex() const { return writeIndex_; }
  int validCount() const { return validCount_; }
  std::int64_t startSeconds() const { return startSeconds_; }

  // Sample at a ring slot (0..900); the integer quantity converted to real.
  double sample(int quantity, int line, int slot) const;
  std::int32_t integerSample(int line, int slot) const;
  // Ring slot of the k-th oldest valid sample.
  int slotOfOldest(int k) const;

  // Mean of the last line (the average, or the last active path) over every
  // sample stored since the query began; 0 with none.
  double lineMean(int quantity) const;
  std::int64_t samplesSummed(int quantity) const { return counts_[quantity]; }

  const TrendPeriod& current() const { return current_; }

 private:
  void storeLine(int quantity, int line, double from, double to, int d, bool hold);
  int lastLine() const;

  std::array<std::array<std::array<double, kTrendRingSize>, kTrendLines>, kTrendQuantities> real_{};
  std::array<std::array<std::int32_t, kTrendRingSize>, kTrendLines> integer_{};
  std::array<double, kTrendQuantities> sums_{};
  std::array<std::int64_t, kTrendQuantities> counts_{};
  TrendPeriod current_{};
  int writeIndex_ = 0;
  int validCount_ = 0;
  std::int64_t startSeconds_ = 0;
  int periodSeconds_ = 3;
  unsigned activeMask_ = 0;
  int activeCount_ = 0;
  int firstActive_ = -1;
  int lastActive_ = -1;
  bool multiPath_ = false;
};

}  // namespace tarnlux
