#include "diag/pass_fail_limits.h"

#include <gtest/gtest.h>

using namespace tarnlux;

TEST(PassFailLimits, DefaultsForLiquidAndGasMeters) {
  PassFailLimits limits;
  limits.transitTime.snr = {1, 1};
  limits.echoflux.fftPeak = {1, 1};
  limits.transitTime.correlationQuality = {0.5, 0.6};

  resetLimitsToDefaults(limits, true, false);
  EXPECT_EQ(limits.transitTime.alc, (IntLimitPair{45, 35}));
  EXPECT_EQ(limits.transitTime.nullTrackAlc, (IntLimitPair{50, 40}));
  EXPECT_EQ(limits.transitTime.snr, (RealLimitPair{20, 10}));
  EXPECT_EQ(limits.echoflux.fftPeak, (IntLimitPair{64, 16}));
  // Without extended diagnostics the correlation pair keeps its value.
  EXPECT_EQ(limits.transitTime.correlationQuality, (RealLimitPair{0.5, 0.6}));

  resetLimitsToDefaults(limits, false, true);
  EXPECT_EQ(limits.transitTime.alc, (IntLimitPair{30, 20}));
  EXPECT_EQ(limits.transitTime.nullTrackAlc, (IntLimitPair{30, 20}));
  EXPECT_EQ(limits.transitTime.correlationQuality, (RealLimitPair{0.75, 0.9}));
  EXPECT_EQ(limits, PassFailLimits());
  EXPECT_EQ(limits.echoflux.flowVelocity, (RealLimitPair{1.0, 0.001}));
  EXPECT_EQ(limits.echoflux.lowRangeUpper, (IntLimitPair{1400, 2000}));
}
