#include "graph/trend_store.h"

#include <bit>
#include <cmath>
#include <limits>

namespace tarnlux {

namespace {

std::int32_t toStoredInteger(double value) {
  if (std::isnan(value)) return 0;
  constexpr double lo = std::numeric_limits<std::int32_t>::min();
  constexpr double hi = std::numeric_limits<std::int32_t>::max();
  if (value <= lo) return std::numeric_limits<std::int32_t>::min();
  if (value >= hi) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(std::lround(value));
}

bool isFlowQuantity(int q) {
  return q == static_cast<int>(TrendQuantity::FlowVelocity) ||
         q == static_cast<int>(TrendQuantity::Flow) ||
         q == static_cast<int>(TrendQuantity::StandardVolumeFlow);
}

// A path whose status says it is not measuring flow (flow bit clear, the other
// condition set) holds its flow readings rather than ramping to them.
bool holdsFlow(std::uint32_t statusWord) {
  return (statusWord & 0x10u) == 0 && (statusWord & 0x40u) != 0;
}

}  // namespace

void TrendStore::clear() {
  writeIndex_ = 0;
  validCount_ = 0;
  startSeconds_ = 0;
  sums_ = {};
  counts_ = {};
}

void TrendStore::setActivePaths(unsigned mask, bool multiPathMeter) {
  activeMask_ = mask & 0x0Fu;
  multiPath_ = multiPathMeter;
  activeCount_ = std::popcount(activeMask_);
  firstActive_ = activeMask_ == 0 ? -1 : std::countr_zero(activeMask_);
  lastActive_ = activeMask_ == 0 ? -1 : 31 - std::countl_zero(activeMask_);
}

bool TrendStore::isLineActive(int line) const {
  if (line == kTrendPaths) return hasAverageLine();
  return line >= 0 && line < kTrendPaths && (activeMask_ & (1u << line)) != 0;
}

int TrendStore::lastLine() const { return hasAverageLine() ? kTrendPaths : lastActive_; }

double TrendStore::sample(int quantity, int line, int slot) const {
  if (quantity == kTrendIntegerQuantity) return integer_[line][slot];
  return real_[quantity][line][slot];
}

std::int32_t TrendStore::integerSample(int line, int slot) const { return integer_[line][slot]; }

int TrendStore::slotOfOldest(int k) const {
  int slot = (writeIndex_ - validCount_ + 1 + k) % kTrendRingSize;
  if (slot < 0) slot += kTrendRingSize;
  return slot;
}

double TrendStore::lineMean(int quantity) const {
  return counts_[quantity] > 0 ? sums_[quantity] / static_cast<double>(counts_[quantity]) : 0.0;
}

void TrendStore::storeLine(int quantity, int line, double from, double to, int d, bool hold) {
  const bool sums = line == lastLine();
  if (quantity == kTrendIntegerQuantity) {
    const std::int64_t a = toStoredInteger(from);
    const std::int64_t b = toStoredInteger(to);
    const std::int64_t step = (b - a) / d;
    for (int j = 1; j <= d; ++j) {
      const std::int64_t v = (hold || step == 0 || j == d) ? b : a + step * j;
      const int slot = (writeIndex_ + j) % kTrendRingSize;
      integer_[line][slot] = static_cast<std::int32_t>(v);
      if (sums) sums_[quantity] += static_cast<double>(v);
    }
  } else {
    const double step = (to - from) / d;
    for (int j = 1; j <= d; ++j) {
      const double v = (hold || j == d) ? to : from + step * j;
      const int slot = (writeIndex_ + j) % kTrendRingSize;
      real_[quantity][line][slot] = v;
      if (sums) sums_[quantity] += v;
    }
  }
  if (sums) counts_[quantity] += d;
}

void TrendStore::storePeriod(const TrendPeriod& period, int d, std::int64_t nowSeconds) {
  current_ = period;
  if (activeMask_ == 0) return;
  const bool empty = validCount_ == 0;
  // The first sample of a query stands alone: there is nothing to ramp from.
  if (empty || d < 1) d = 1;
  // Slot writeIndex_ + j for j = 1..d; an empty store starts at slot 0.
  if (empty) writeIndex_ = kTrendRingSize - 1;
  const int previous = writeIndex_;

  const unsigned contributing = period.averagePathMask & activeMask_;
  const int contributingCount = std::popcount(contributing);

  for (int q = 0; q < kTrendQuantities; ++q) {
    // Where the average line ramps from, read before any slot is overwritten.
    double averageFrom = period.averages[q];
    if (hasAverageLine() && !empty) {
      averageFrom = sample(q, kTrendPaths, previous);
      if (contributingCount > 0 && contributingCount < activeCount_) {
        // Paths missing this period would bend the ramp: start it from what the
        // contributing paths averaged last time.
        double sum = 0;
        for (int p = 0; p < kTrendPaths; ++p) {
          if (contributing & (1u << p)) sum += sample(q, p, previous);
        }
        averageFrom = sum / contributingCount;
      }
    }
    for (int p = 0; p < kTrendPaths; ++p) {
      if ((activeMask_ & (1u << p)) == 0) continue;
      const double to = period.pathValues[q][p];
      const double from = empty ? to : sample(q, p, previous);
      storeLine(q, p, from, to, d, isFlowQuantity(q) && holdsFlow(period.statusWords[p]));
    }
    if (hasAverageLine()) storeLine(q, kTrendPaths, averageFrom, period.averages[q], d, false);
  }

  writeIndex_ = (writeIndex_ + d) % kTrendRingSize;
  if (empty) startSeconds_ = nowSeconds;
  const std::int64_t total = static_cast<std::int64_t>(validCount_) + d;
  if (total > kTrendRingSize) {
    startSeconds_ += (total - kTrendRingSize) * periodSeconds_;
    validCount_ = kTrendRingSize;
  } else {
    validCount_ = static_cast<int>(total);
  }
}

}  // namespace tarnlux
