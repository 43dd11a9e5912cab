#include "graph/trend_store.h"

#include <gtest/gtest.h>

#include <memory>

using namespace tarnlux;

namespace {

constexpr int kVelocity = static_cast<int>(TrendQuantity::FlowVelocity);
constexpr int kSoundSpeed = static_cast<int>(TrendQuantity::SoundSpeed);
constexpr int kGain = static_cast<int>(TrendQuantity::GainOrSignal);
constexpr std::uint32_t kHealthy = 0x3FF;

// A period in which every quantity of every path reads `value`.
TrendPeriod periodOf(double value) {
  TrendPeriod period;
  for (auto& quantity : period.pathValues) quantity.fill(value);
  period.averages.fill(value);
  period.averagePathMask = 0xF;
  period.statusWords.fill(kHealthy);
  return period;
}

std::unique_ptr<TrendStore> singlePathStore() {
  auto store = std::make_unique<TrendStore>();
  store->setActivePaths(0x1, false);
  store->setPeriod(3);
  return store;
}

// The samples of one line, oldest first.
std::vector<double> lineOf(const TrendStore& store, int quantity, int line) {
  std::vector<double> values;
  for (int k = 0; k < store.validCount(); ++k) {
    values.push_back(store.sample(quantity, line, store.slotOfOldest(k)));
  }
  return values;
}

}  // namespace

TEST(TrendStore, RingsWrapAfter901SamplesAndTheStartTimeMovesOn) {
  auto store = singlePathStore();
  for (int i = 1; i <= 901; ++i) store->storePeriod(periodOf(i), 1, 1000 + 3 * (i - 1));
  EXPECT_EQ(store->validCount(), 901);
  EXPECT_EQ(store->writeIndex(), 900);
  EXPECT_EQ(store->startSeconds(), 1000);
  EXPECT_DOUBLE_EQ(store->sample(kVelocity, 0, store->slotOfOldest(0)), 1);

  store->storePeriod(periodOf(902), 1, 1000 + 3 * 901);
  EXPECT_EQ(store->validCount(), 901);
  EXPECT_EQ(store->writeIndex(), 0);
  EXPECT_EQ(store->startSeconds(), 1003);
  EXPECT_DOUBLE_EQ(store->sample(kVelocity, 0, 0), 902);
  EXPECT_DOUBLE_EQ(store->sample(kVelocity, 0, store->slotOfOldest(0)), 2);
  EXPECT_DOUBLE_EQ(store->sample(kVelocity, 0, store->slotOfOldest(900)), 902);

  // A long stall overflows the ring by many samples at once.
  store->storePeriod(periodOf(1000), 1000, 99'999);
  EXPECT_EQ(store->validCount(), 901);
  EXPECT_EQ(store->writeIndex(), 1000 % 901);
  EXPECT_EQ(store->startSeconds(), 1003 + 1000 * 3);
  EXPECT_DOUBLE_EQ(store->sample(kVelocity, 0, store->writeIndex()), 1000);
}

TEST(TrendStore, LatePeriodsAreMadeUpByInterpolation) {
  auto store = singlePathStore();
  // The first sample of a query stands alone whatever the delay.
  store->storePeriod(periodOf(0), 3, 500);
  EXPECT_EQ(store->validCount(), 1);
  EXPECT_EQ(store->startSeconds(), 500);

  store->storePeriod(periodOf(3), 3, 509);
  EXPECT_EQ(lineOf(*store, kSoundSpeed, 0), (std::vector<double>{0, 1, 2, 3}));
  EXPECT_EQ(store->validCount(), 4);
  EXPECT_EQ(store->startSeconds(), 500);

  store->storePeriod(periodOf(4), 2, 515);
  EXPECT_EQ(lineOf(*store, kSoundSpeed, 0), (std::vector<double>{0, 1, 2, 3, 3.5, 4}));
}

TEST(TrendStore, GainIsStoredAndInterpolatedInIntegers) {
  auto store = singlePathStore();
  store->storePeriod(periodOf(10), 1, 0);
  store->storePeriod(periodOf(20), 3, 9);     // step 3
  store->storePeriod(periodOf(21.6), 3, 18);  // rounds to 22; step 0 repeats it
  EXPECT_EQ(lineOf(*store, kGain, 0), (std::vector<double>{10, 13, 16, 20, 22, 22, 22}));
}

TEST(TrendStore, FlowOfAPathThatIsNotMeasuringIsHeldNotRamped) {
  auto store = singlePathStore();
  store->storePeriod(periodOf(0), 1, 0);
  TrendPeriod held = periodOf(3);
  held.statusWords[0] = kHealthy & ~0x10u;  // flow bit clear, 0x40 set
  store->storePeriod(held, 3, 9);
  EXPECT_EQ(lineOf(*store, kVelocity, 0), (std::vector<double>{0, 3, 3, 3}));
  EXPECT_EQ(lineOf(*store, static_cast<int>(TrendQuantity::Flow), 0),
            (std::vector<double>{0, 3, 3, 3}));
  // Sound speed is not a flow reading: it still ramps.
  EXPECT_EQ(lineOf(*store, kSoundSpeed, 0), (std::vector<double>{0, 1, 2, 3}));
}

TEST(TrendStore, AverageLineOfAMultiPathMeter) {
  auto owned = std::make_unique<TrendStore>();
  TrendStore& store = *owned;
  store.setActivePaths(0x3, true);
  ASSERT_TRUE(store.hasAverageLine());
  EXPECT_TRUE(store.isLineActive(4));
  EXPECT_FALSE(store.isLineActive(2));

  TrendPeriod first = periodOf(0);
  first.pathValues[kVelocity] = {10, 20, 0, 0};
  first.averages[kVelocity] = 15;
  store.storePeriod(first, 1, 0);

  // Path 2 did not answer: the ramp of the average starts from what path 1
  // alone gave last time, not from the two-path average.
  TrendPeriod second = first;
  second.pathValues[kVelocity] = {12, 20, 0, 0};
  second.averages[kVelocity] = 12;
  second.averagePathMask = 0x1;
  store.storePeriod(second, 2, 6);
  EXPECT_EQ(lineOf(store, kVelocity, 4), (std::vector<double>{15, 11, 12}));
  EXPECT_EQ(lineOf(store, kVelocity, 0), (std::vector<double>{10, 11, 12}));
  // The mean follows the average line.
  EXPECT_DOUBLE_EQ(store.lineMean(kVelocity), (15 + 11 + 12) / 3.0);
  EXPECT_EQ(store.samplesSummed(kVelocity), 3);

  // One path of a multi-path meter: no average line.
  store.setActivePaths(0x4, true);
  EXPECT_FALSE(store.hasAverageLine());
  EXPECT_EQ(store.firstActivePath(), 2);
  EXPECT_EQ(store.lastActivePath(), 2);
}

TEST(TrendStore, MeanOfASinglePathAndClearing) {
  auto store = singlePathStore();
  for (int i = 1; i <= 3; ++i) store->storePeriod(periodOf(i), 1, i);
  EXPECT_DOUBLE_EQ(store->lineMean(kVelocity), 2.0);
  store->clear();
  EXPECT_EQ(store->validCount(), 0);
  EXPECT_EQ(store->samplesSummed(kVelocity), 0);
  EXPECT_DOUBLE_EQ(store->lineMean(kVelocity), 0.0);
  store->storePeriod(periodOf(7), 1, 50);
  EXPECT_EQ(store->startSeconds(), 50);
  EXPECT_EQ(lineOf(*store, kVelocity, 0), (std::vector<double>{7}));
}
